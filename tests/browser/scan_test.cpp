#include "BrowserTestSupport.h"
#include "browser/FolderScanner.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

using namespace flintly;
using namespace flintly::test;

namespace {

QStringList sortedNames(const std::vector<FileInfo>& files)
{
    QStringList out;
    for (const FileInfo& f : files)
        out.append(f.name);
    out.sort();
    return out;
}

QStringList relativePaths(const QString& root, const std::vector<FileInfo>& files)
{
    QStringList out;
    for (const FileInfo& f : files)
        out.append(QDir(root).relativeFilePath(f.path));
    out.sort();
    return out;
}

// Root reads every folder whatever its mode. For as long as it lives this drops the
// capabilities that allow that, from the calling thread only, so a mode-000 folder is
// unreadable to the scan run on this thread.
class WithoutFileCapabilities {
public:
    WithoutFileCapabilities()
    {
        header_.version = _LINUX_CAPABILITY_VERSION_3;
        header_.pid = 0;
        if (syscall(SYS_capget, &header_, saved_) != 0)
            return;
        __user_cap_data_struct reduced[2] = {saved_[0], saved_[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        active_ = syscall(SYS_capset, &header_, reduced) == 0;
    }
    ~WithoutFileCapabilities()
    {
        if (active_)
            syscall(SYS_capset, &header_, saved_);
    }

private:
    __user_cap_header_struct header_{};
    __user_cap_data_struct saved_[2]{};
    bool active_ = false;
};

}  // namespace

TEST(FolderScan, ListsMarkdownNotesAtAnyDepthAndSkipsHiddenOnes)
{
    QTemporaryDir root;
    const QString r = root.path();
    for (const char* path : {"a.md", "B.MD", "c.txt", ".hidden.md", "md", "notes.mD", "x.md.bak", "a.b.md",
                             "deep/1/2/3/4/5/6/7/8/9/10/bottom.md", "one/same.md", "two/same.md", ".git/inside.md",
                             ".config/sub/also.md", "visible/.hidden/nested.md", "folder.md/inside.md"})
        writeNote(r + QLatin1Char('/') + QLatin1String(path));
    QDir().mkpath(r + QStringLiteral("/empty.md"));

    const auto files = scanFolder(r);
    EXPECT_EQ(relativePaths(r, files),
              (QStringList{"B.MD", "a.b.md", "a.md", "deep/1/2/3/4/5/6/7/8/9/10/bottom.md", "empty.md", "folder.md",
                           "folder.md/inside.md", "notes.mD", "one/same.md", "two/same.md"}));
    // Names are the bare file names without their last extension, duplicates and all.
    EXPECT_EQ(sortedNames(files),
              (QStringList{"B", "a", "a.b", "bottom", "empty", "folder", "inside", "notes", "same", "same"}));
}

TEST(FolderScan, DatesAndSizesComeFromTheFileAndARescanGivesNewIds)
{
    QTemporaryDir root;
    const QDateTime when = QDateTime(QDate(2023, 5, 17), QTime(9, 30, 15, 250), Qt::UTC);
    writeNote(root.filePath(QStringLiteral("note.md")), 1234, when);

    const auto first = scanFolder(root.path());
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].size, 1234);
    EXPECT_EQ(first[0].modifiedDate, when);
    EXPECT_EQ(first[0].modifiedDate.timeSpec(), Qt::UTC);
    EXPECT_EQ(first[0].url(), QUrl::fromLocalFile(root.filePath(QStringLiteral("note.md"))));
    EXPECT_EQ(first[0].id.version(), QUuid::Random);

    const auto second = scanFolder(root.path());
    ASSERT_EQ(second.size(), 1u);
    EXPECT_EQ(first[0], second[0]);
    EXPECT_NE(first[0].id, second[0].id);
}

TEST(FolderScan, AnUnreadableSubFolderIsPassedOverAndAMissingFolderGivesNothing)
{
    QTemporaryDir root;
    writeNote(root.filePath(QStringLiteral("open/seen.md")));
    writeNote(root.filePath(QStringLiteral("locked/unseen.md")));
    writeNote(root.filePath(QStringLiteral("top.md")));
    ASSERT_EQ(::chmod(QFile::encodeName(root.filePath(QStringLiteral("locked"))).constData(), 0), 0);

    std::vector<FileInfo> files;
    {
        WithoutFileCapabilities asAnyUser;
        files = scanFolder(root.path());
    }
    ::chmod(QFile::encodeName(root.filePath(QStringLiteral("locked"))).constData(), 0755);
    if (geteuid() == 0 && files.size() == 3)
        GTEST_SKIP() << "cannot drop root's file capabilities here";
    EXPECT_EQ(sortedNames(files), (QStringList{"seen", "top"}));

    EXPECT_TRUE(scanFolder(root.filePath(QStringLiteral("missing"))).empty());
}

TEST(FolderScan, LinkedFoldersAreNotWalkedSoALoopEnds)
{
    QTemporaryDir root;
    writeNote(root.filePath(QStringLiteral("notes/a.md")));
    ASSERT_TRUE(QFile::link(root.path(), root.filePath(QStringLiteral("notes/loop"))));
    ASSERT_TRUE(
        QFile::link(root.filePath(QStringLiteral("notes/a.md")), root.filePath(QStringLiteral("notes/alias.md"))));

    const auto files = scanFolder(root.filePath(QStringLiteral("notes")));
    EXPECT_EQ(sortedNames(files), (QStringList{"a", "alias"}));
    for (const FileInfo& f : files)
        EXPECT_EQ(f.size, 10) << "a linked note has its target's size";
}

TEST(FolderScan, PausesAfterEveryHundredNotesAndStopsWhenCancelled)
{
    QTemporaryDir root;
    for (int i = 0; i < 250; ++i)
        writeNote(root.filePath(QStringLiteral("d%1/n%2.md").arg(i % 3).arg(i)));
    int pauses = 0;
    ScanControl control;
    control.pause = [&] { ++pauses; };
    EXPECT_EQ(scanFolder(root.path(), control).size(), 250u);
    EXPECT_EQ(pauses, 2);

    std::atomic<bool> cancelled{true};
    control.cancelled = &cancelled;
    EXPECT_TRUE(scanFolder(root.path(), control).empty());

    // Cancelled in the middle of one large folder, the walk stops there, not at its end.
    QTemporaryDir big;
    for (int i = 0; i < 1000; ++i)
        writeNote(big.filePath(QStringLiteral("n%1.md").arg(i)), 1);
    cancelled = false;
    pauses = 0;
    control.pause = [&] {
        ++pauses;
        cancelled = true;
    };
    EXPECT_TRUE(scanFolder(big.path(), control).empty());
    EXPECT_EQ(pauses, 1);
}
