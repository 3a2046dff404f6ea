#pragma once

#include "document/EditorBridge.h"
#include "templates/DelayedTask.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace flintly::test {

// Time for debounces, moved only by the test.
class ManualScheduler {
public:
    ScheduleTask schedule()
    {
        return [this](int ms, std::function<void()> work) -> std::unique_ptr<DelayedTask> {
            auto task = std::make_unique<Task>();
            task->due = now_ + ms;
            task->work = std::move(work);
            pending_.push_back(task.get());
            task->owner = this;
            return task;
        };
    }

    void advance(int ms)
    {
        now_ += ms;
        for (bool ran = true; ran;) {
            ran = false;
            for (Task* t : pending_) {
                if (t->due <= now_) {
                    forget(t);
                    auto work = std::move(t->work);  // the work may drop its own handle
                    work();
                    ran = true;
                    break;
                }
            }
        }
    }

    int pendingCount() const { return static_cast<int>(pending_.size()); }

private:
    struct Task final : DelayedTask {
        ~Task() override
        {
            if (owner)
                owner->forget(this);
        }
        ManualScheduler* owner = nullptr;
        qint64 due = 0;
        std::function<void()> work;
    };
    void forget(Task* t) { pending_.removeAll(t); }

    qint64 now_ = 0;
    QList<Task*> pending_;
};

// What the page would have been asked to append.
class RecordingEditorBridge final : public EditorBridge {
public:
    QStringList pieces, replacements;
    QList<std::optional<qsizetype>> carets;
    void appendBlock(const QString& markdown, std::optional<qsizetype> caret) override
    {
        pieces.append(markdown);
        carets.append(caret);
    }
    void replaceAll(const QString& text) override { replacements.append(text); }
};

inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(bytes);
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline QStringList fileNames(const QList<QUrl>& urls)
{
    QStringList names;
    for (const QUrl& u : urls)
        names.append(QFileInfo(u.toLocalFile()).fileName());
    return names;
}

}  // namespace flintly::test
