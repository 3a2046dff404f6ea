#include "platform/Bookmark.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

using namespace flintly;

TEST(Bookmark, RoundTripsAFolderAndReportsAReplacedOneAsStale)
{
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("Notes 노트"));
    QDir().mkpath(folder);
    const auto bytes = Bookmark::create(folder);
    ASSERT_TRUE(bytes);

    auto resolved = Bookmark::resolve(*bytes);
    ASSERT_TRUE(resolved);
    EXPECT_EQ(resolved->path, folder);
    EXPECT_FALSE(resolved->isStale);
    EXPECT_TRUE(Bookmark::startAccessing(resolved->path));

    // A folder replaced by another of the same name (moved aside, so the file system
    // cannot hand its inode number to the new one) is reported as stale.
    ASSERT_TRUE(QDir().rename(folder, root.filePath(QStringLiteral("moved aside"))));
    QDir().mkpath(folder);
    resolved = Bookmark::resolve(*bytes);
    ASSERT_TRUE(resolved);
    EXPECT_TRUE(resolved->isStale);
}

TEST(Bookmark, FailsWithAReasonForMissingItemsAndForeignBytes)
{
    QTemporaryDir root;
    QString error;
    EXPECT_FALSE(Bookmark::create(root.filePath(QStringLiteral("nope")), &error));
    EXPECT_TRUE(error.contains(QStringLiteral("nope")));

    const QString folder = root.filePath(QStringLiteral("gone"));
    QDir().mkpath(folder);
    const auto bytes = Bookmark::create(folder);
    QDir(folder).removeRecursively();
    error.clear();
    EXPECT_FALSE(Bookmark::resolve(*bytes, &error));
    EXPECT_FALSE(error.isEmpty());

    for (const QByteArray& junk : {QByteArray(), QByteArray("/etc"), QByteArray("flintly-bookmark:1\n{]"),
                                   QByteArray("flintly-bookmark:1\n{\"path\":\"relative\"}")}) {
        error.clear();
        EXPECT_FALSE(Bookmark::resolve(junk, &error)) << junk.constData();
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(Bookmark, AccessNeedsAReadableItem)
{
    QTemporaryDir root;
    const QString locked = root.filePath(QStringLiteral("locked"));
    QDir().mkpath(locked);
    QFile::setPermissions(locked, QFileDevice::WriteOwner);
    if (getuid() != 0) {  // root reads everything
        EXPECT_FALSE(Bookmark::startAccessing(locked));
    }
    EXPECT_FALSE(Bookmark::startAccessing(root.filePath(QStringLiteral("missing"))));
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}
