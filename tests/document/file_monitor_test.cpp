#include "ModelFixture.h"

#include <cstdio>

using namespace flintly;
using namespace flintly::test;

namespace {
class OutsideChanges : public ModelFixture {
protected:
    // Opens a note from disk and moves the clock past both windows of the watcher.
    MarkdownModel& openNote(const QByteArray& content = "# Shared\nline one\n")
    {
        path = note(QStringLiteral("Shared.md"));
        writeBytes(path, content);
        auto& m = makeModel();
        m.open(QUrl::fromLocalFile(path));
        advance(2000);
        return m;
    }

    static void replaceByRename(const QString& target, const QByteArray& content)
    {
        const QString temp = target + QStringLiteral(".tmp~");
        writeBytes(temp, content);
        ASSERT_EQ(std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(target).constData()), 0);
    }

    QString path;
};
}  // namespace

TEST_F(OutsideChanges, AnotherProgramsWriteReplacesTheText)
{
    auto& m = openNote();
    LogCapture logs;
    writeBytes(path, "# Shared\nedited elsewhere\n");
    ASSERT_TRUE(waitUntil([&] { return m.text() == QStringLiteral("# Shared\nedited elsewhere\n"); }));
    EXPECT_EQ(m.lastUserEditTime(), MarkdownModel::distantPast());
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("🚨 파일 시스템 이벤트 감지됨! (데이터: [")));
    EXPECT_TRUE(logs.contains(QStringLiteral("✅ 쿨다운 통과 - 파일 읽기 시작")));
    EXPECT_TRUE(logs.contains(QStringLiteral("🔄 외부 변경 감지 - 파일 리로드: Shared.md")));
    EXPECT_TRUE(logs.contains(QStringLiteral("   - 현재 스레드: 메인")));
    EXPECT_TRUE(logs.contains(QStringLiteral("   - 마지막 편집 시간: 0001-01-01 00:00:00 +0000")));
    EXPECT_TRUE(waitUntil([&] { return !m.isReloadingFromExternal(); }));

    // Reset edit time: a second outside change right away is taken too.
    writeBytes(path, "# Shared\nedited twice\n");
    EXPECT_TRUE(waitUntil([&] { return m.text() == QStringLiteral("# Shared\nedited twice\n"); }));
}

TEST_F(OutsideChanges, ReplacedFilesStayWatchedEveryTime)
{
    auto& m = openNote();
    for (int round = 1; round <= 3; ++round) {
        const QByteArray content = "# Shared\nreplaced " + QByteArray::number(round) + "\n";
        replaceByRename(path, content);
        ASSERT_TRUE(waitUntil([&] { return m.text() == QString::fromUtf8(content); })) << "round " << round;
        advance(2000);
    }
    // Delete, then create: how some sync tools write.
    QFile::remove(path);
    spin(100);
    writeBytes(path, "# Shared\nrecreated\n");
    EXPECT_TRUE(waitUntil([&] { return m.text() == QStringLiteral("# Shared\nrecreated\n"); }));
}

TEST_F(OutsideChanges, OurOwnSavesNeverReload)
{
    auto& m = openNote();
    LogCapture logs;
    m.setText(QStringLiteral("# Shared\ntyped here\n"));
    settle();
    spin(300);
    EXPECT_EQ(m.text(), QStringLiteral("# Shared\ntyped here\n"));
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("🔄 외부 변경 감지")));
    EXPECT_TRUE(logs.contains(QStringLiteral("💾 저장 중이므로 이벤트 무시 (자기 저장)"))
                || logs.contains(QStringLiteral("🔄 자기 저장 이벤트 감지 - 무시")));
}

TEST_F(OutsideChanges, AWriteWhileTheUserIsTypingIsSkippedAndLaterKeptAsAConflictCopy)
{
    auto& m = openNote();
    m.setText(QStringLiteral("# Shared\nmy typing\n"));
    advance(500);  // saved; edit time stamped
    advance(600);  // past the self-save window, inside the typing cool-down
    LogCapture logs;
    writeBytes(path, "# Shared\ntheirs\n");
    ASSERT_TRUE(waitUntil([&] {
        return logs.contains(
            QStringLiteral("⏸️ 사용자 편집 후 0.8초 미경과 - 외부 리로드 건너뜀"));
    }));
    spin(200);
    EXPECT_EQ(m.text(), QStringLiteral("# Shared\nmy typing\n"));

    m.setText(QStringLiteral("# Shared\nmy writing\n"));  // the words the other program changed
    settle();
    EXPECT_EQ(readBytes(path), QByteArray("# Shared\nmy writing\n"));
    bool copyHoldsTheirs = false;
    for (const QString& f : filesIn(notes))
        copyHoldsTheirs |=
            f.startsWith(QStringLiteral("Shared (conflict ")) && readBytes(note(f)) == "# Shared\ntheirs\n";
    EXPECT_TRUE(copyHoldsTheirs) << filesIn(notes).join(QLatin1Char(',')).toStdString();
}

TEST_F(OutsideChanges, SameContentDeletionAndUnreadableTextLeaveTheNoteAlone)
{
    auto& m = openNote("# Shared\nsame\n");
    LogCapture logs;
    writeBytes(path, "# Shared\nsame\n");
    ASSERT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("📋 내용이 동일함 - 업데이트 불필요")); }));

    writeBytes(path, "caf\xe9 latin-1");
    ASSERT_TRUE(waitUntil([&] { return logs.containsPrefix(QStringLiteral("🚨 외부 파일 읽기 실패:")); }));
    EXPECT_EQ(m.text(), QStringLiteral("# Shared\nsame\n"));

    QFile::remove(path);
    ASSERT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("📁 파일이 삭제됨: Shared.md")); }));
    EXPECT_EQ(m.text(), QStringLiteral("# Shared\nsame\n"));
    EXPECT_EQ(m.filePath(), path);
    m.setText(QStringLiteral("# Shared\nsame, saved again\n"));
    settle();
    EXPECT_EQ(readBytes(path), QByteArray("# Shared\nsame, saved again\n"));
}

TEST_F(OutsideChanges, OpeningAnotherNoteStopsThePreviousWatcher)
{
    auto& m = openNote();
    const QString other = note(QStringLiteral("Other.md"));
    writeBytes(other, "other");
    LogCapture logs;
    m.open(QUrl::fromLocalFile(other));
    EXPECT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("🔒 파일 디스크립터 정리 완료")); }));
    EXPECT_TRUE(logs.contains(QStringLiteral("⏹️ 파일 모니터링 중단")));
    EXPECT_TRUE(logs.contains(QStringLiteral("✅ 파일 모니터링 시작 성공: Other.md")));
    logs.clear();
    advance(2000);
    writeBytes(path, "the old note changed");
    spin(300);
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("🔔 파일 시스템 이벤트 상세 처리 시작: Shared.md")));
    EXPECT_EQ(m.text(), QStringLiteral("other"));
}

TEST_F(OutsideChanges, AFileThatCannotBeWatchedIsReportedAndTheNoteStillWorks)
{
    auto& m = makeModel();
    LogCapture logs;
    m.startFileMonitoring();
    EXPECT_TRUE(logs.contains(QStringLiteral("🚨 파일 모니터링 시작 실패: URL이 nil")));
    m.setText(QStringLiteral("Watched"));
    m.save();
    QFile::remove(m.filePath());
    logs.clear();
    m.startFileMonitoring();
    EXPECT_TRUE(logs.contains(QStringLiteral("🚨 파일 모니터링 실패: 파일을 열 수 없음 - ") + m.filePath()));
    EXPECT_TRUE(logs.contains(QStringLiteral("   - 에러 코드: 2")));
    EXPECT_TRUE(logs.contains(QStringLiteral("   - 에러 설명: No such file or directory")));
    EXPECT_FALSE(m.isFileMonitoring());
    m.save();
    EXPECT_TRUE(m.isFileMonitoring()) << "the save that brought the file back watches it again";
}
