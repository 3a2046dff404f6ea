#include "platform/SettingsStore.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

using namespace flintly;

namespace {
QString writeFile(const QTemporaryDir& dir, const QByteArray& content)
{
    const QString path = dir.filePath(QStringLiteral("Flintly.conf"));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(content);
    return path;
}
}  // namespace

TEST(SettingsStore, StandardFileLivesUnderTheTestsOwnConfigFolder)
{
    EXPECT_TRUE(SettingsStore::standardFilePath().startsWith(test::temporaryRoot()));
    EXPECT_TRUE(SettingsStore::standardFilePath().endsWith(QStringLiteral("/Flintly/Flintly.conf")));
}

TEST(SettingsStore, ValuesSurviveAReopenWithTheirTypes)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Flintly.conf"));
    {
        SettingsStore s(path);
        s.setValue(QStringLiteral("flintlyHasOnboarded"), true);
        s.setValue(QStringLiteral("statsCharCount"), qint64(1234567890123));
        s.setValue(QStringLiteral("statsSessionStart"), 1765000000.25);
        s.setValue(QStringLiteral("quickOpen.sortMode"), QStringLiteral("nameAsc"));
        s.setValue(QStringLiteral("SavedFolderBookmark"),
                   QByteArray("\x00\x01\xff"
                              "bytes",
                              8));
        s.setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(QStringLiteral("/tmp/Notes é")));
    }
    SettingsStore s(path);
    EXPECT_EQ(s.boolValue(QStringLiteral("flintlyHasOnboarded")), true);
    EXPECT_EQ(s.intValue(QStringLiteral("statsCharCount")), 1234567890123);
    EXPECT_DOUBLE_EQ(*s.doubleValue(QStringLiteral("statsSessionStart")), 1765000000.25);
    EXPECT_EQ(s.stringValue(QStringLiteral("quickOpen.sortMode")), QStringLiteral("nameAsc"));
    EXPECT_EQ(s.bytesValue(QStringLiteral("SavedFolderBookmark")),
              QByteArray("\x00\x01\xff"
                         "bytes",
                         8));
    EXPECT_EQ(s.fileUrlValue(QStringLiteral("flintlySaveFolder"))->toLocalFile(), QStringLiteral("/tmp/Notes é"));

    QFile raw(path);
    raw.open(QIODevice::ReadOnly);
    const QByteArray text = raw.readAll();
    EXPECT_TRUE(text.startsWith("[General]"));
    EXPECT_TRUE(text.contains("flintlySaveFolder=file:///tmp/Notes%20%C3%A9"));
}

TEST(SettingsStore, StoringWhatTheFileHoldsWritesNothingAndAChangeStillLands)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Flintly.conf"));
    const auto inode = [&] {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : ino_t(0);
    };
    {
        SettingsStore s(path);
        s.setValue(QStringLiteral("flintlyHasOnboarded"), true);
        s.setValue(QStringLiteral("statsNoteCount"), 12);
        s.setValue(QStringLiteral("SavedFolderBookmark"), QByteArray("bytes"));
    }
    // Reopened, the file gives back text for the integer and the boolean.
    SettingsStore s(path);
    const ino_t before = inode();
    s.setValue(QStringLiteral("flintlyHasOnboarded"), true);
    s.setValue(QStringLiteral("statsNoteCount"), 12);
    s.setValue(QStringLiteral("SavedFolderBookmark"), QByteArray("bytes"));
    // A write replaces the file by a new one, which cannot have the old one's inode.
    EXPECT_EQ(inode(), before) << "the file was written again for values it holds";

    s.setValue(QStringLiteral("statsNoteCount"), 13);
    s.setValue(QStringLiteral("flintlyHasOnboarded"), 1);  // another type: written as it comes
    SettingsStore reopened(path);
    EXPECT_EQ(reopened.intValue(QStringLiteral("statsNoteCount")), 13);
    EXPECT_EQ(reopened.value(QStringLiteral("flintlyHasOnboarded")).toString(), QStringLiteral("1"));
}

TEST(SettingsStore, GarbageReadsAsAbsentAndIsLogged)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir,
                                   "[General]\n"
                                   "flintlyHasOnboarded=maybe\n"
                                   "statsNoteCount=twelve\n"
                                   "statsSessionStart=nan\n"
                                   "flintlySaveFolder=relative/folder\n"
                                   "SavedFolderBookmark=not bytes\n"
                                   "appTheme=2\n");
    test::LogCapture logs;
    SettingsStore s(path);
    EXPECT_FALSE(s.boolValue(QStringLiteral("flintlyHasOnboarded")));
    EXPECT_FALSE(s.intValue(QStringLiteral("statsNoteCount")));
    EXPECT_FALSE(s.doubleValue(QStringLiteral("statsSessionStart")));
    EXPECT_FALSE(s.fileUrlValue(QStringLiteral("flintlySaveFolder")));
    EXPECT_FALSE(s.bytesValue(QStringLiteral("SavedFolderBookmark")));
    EXPECT_EQ(s.intValue(QStringLiteral("appTheme")), 2);
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("⚠️ Ignoring setting statsNoteCount")));
}

TEST(SettingsStore, BinaryJunkFileDoesNotCrashAndCanBeOverwritten)
{
    QTemporaryDir dir;
    const QString path = writeFile(dir, QByteArray("\x00\xff\xfe[[[=\n\x01\x02", 10));
    SettingsStore s(path);
    EXPECT_FALSE(s.boolValue(QStringLiteral("flintlyHasOnboarded")));
    s.setValue(QStringLiteral("flintlyHasOnboarded"), true);
    EXPECT_EQ(SettingsStore(path).boolValue(QStringLiteral("flintlyHasOnboarded")), true);
}

TEST(SettingsStore, ChangedIsSignalledForWritesAndRealRemovalsOnly)
{
    QTemporaryDir dir;
    SettingsStore s(dir.filePath(QStringLiteral("a.conf")));
    QStringList seen;
    QObject::connect(&s, &SettingsStore::changed, [&](const QString& k) { seen.append(k); });
    s.setValue(QStringLiteral("appTheme"), 1);
    s.remove(QStringLiteral("appTheme"));
    s.remove(QStringLiteral("appTheme"));
    EXPECT_EQ(seen, (QStringList{QStringLiteral("appTheme"), QStringLiteral("appTheme")}));
}
