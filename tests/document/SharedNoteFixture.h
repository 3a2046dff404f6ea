#pragma once

// A model with its note "Shared.md" open, real files and the real watcher, on the
// test's clock: outside writes are made the way sync tools make them, and time moves
// in small steps that let the watcher's reads come back in between.
#include "ModelFixture.h"

#include <QRegularExpression>

#include <cstdio>

namespace flintly::test {

class SharedNoteFixture : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        logs = std::make_unique<LogCapture>();
    }

    MarkdownModel& openShared(const QByteArray& content = "base\n")
    {
        path = note(QStringLiteral("Shared.md"));
        writeBytes(path, content);
        auto& m = makeModel();
        QObject::connect(&m, &MarkdownModel::notice, [this](const QString& n) { notices.append(n); });
        QObject::connect(&m, &MarkdownModel::textChanged, [this](const QString& t) { seen.append(t); });
        m.open(QUrl::fromLocalFile(path));
        advance(2000);
        return m;
    }

    int count(const QString& prefix) const
    {
        return static_cast<int>(
            logs->lines().filter(QRegularExpression(QStringLiteral("^") + QRegularExpression::escape(prefix))).size());
    }

    // The file reads started by the watcher have come back to the model.
    void drain()
    {
        ASSERT_TRUE(waitUntil([&] {
            return count(QStringLiteral("✅ 쿨다운 통과"))
                == count(QStringLiteral("📝 현재 내용")) + count(QStringLiteral("🚨 외부 파일 읽기 실패"));
        }));
    }

    void replaceFile(const QByteArray& bytes)
    {
        const QString temp = path + QStringLiteral(".sync~");
        writeBytes(temp, bytes);
        ASSERT_EQ(std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()), 0);
    }

    void outside(const QByteArray& bytes)
    {
        const int before = count(QStringLiteral("🔔 파일 시스템 이벤트 상세 처리 시작"));
        replaceFile(bytes);
        ASSERT_TRUE(waitUntil([&] { return count(QStringLiteral("🔔 파일 시스템 이벤트 상세 처리 시작")) > before; }));
        drain();
    }

    // Moves time in small steps, letting the watcher's reads finish in between.
    void wait(int ms)
    {
        for (int left = ms; left > 0; left -= 50) {
            advance(std::min(50, left));
            drain();
        }
    }

    QList<QByteArray> conflictCopies() const
    {
        QList<QByteArray> copies;
        for (const QString& f : filesIn(notes))
            if (f.contains(QStringLiteral(" (conflict ")))
                copies.append(readBytes(note(f)));
        std::sort(copies.begin(), copies.end());
        return copies;
    }

    std::unique_ptr<LogCapture> logs;
    QString path;
    QStringList notices;
    QStringList seen;
};

}  // namespace flintly::test
