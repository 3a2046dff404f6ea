#include "browser/RecentFileManager.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

using namespace flintly;

class RecentFiles : public ::testing::Test {
protected:
    void SetUp() override { settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf"))); }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> settings;
    QDateTime now = QDateTime(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
};

TEST_F(RecentFiles, NewestFirstOnceEachFiveAtMostAndTheStoredFormSurvivesARestart)
{
    {
        RecentFileManager m(*settings, [this] {
            now = now.addMSecs(1500);
            return now;
        });
        for (int i = 0; i < 6; ++i)
            m.addRecent(QUrl::fromLocalFile(QStringLiteral("/notes/n%1.md").arg(i)),
                        QByteArray("bm") + QByteArray::number(i));
        m.addRecent(QUrl::fromLocalFile(QStringLiteral("/notes/n3.md")), QByteArray("fresh\xff", 6));
        ASSERT_EQ(m.files().size(), 5);
        QStringList order;
        for (const RecentFile& f : m.files())
            order.append(f.url.fileName());
        EXPECT_EQ(order, (QStringList{"n3.md", "n5.md", "n4.md", "n2.md", "n1.md"}));
        EXPECT_EQ(m.files()[0].bookmark, QByteArray("fresh\xff", 6));
    }

    const QByteArray stored = *settings->bytesValue(QStringLiteral("FlintlyRecentFiles"));
    EXPECT_TRUE(stored.startsWith(R"([{"url":"file:///notes/n3.md","bookmark":"ZnJlc2j/","openedAt":10.5},)"))
        << stored.constData();

    RecentFileManager reloaded(*settings);
    ASSERT_EQ(reloaded.files().size(), 5);
    EXPECT_EQ(reloaded.files()[0].openedAt, QDateTime(QDate(2001, 1, 1), QTime(0, 0, 10, 500), Qt::UTC));
    EXPECT_EQ(reloaded.files()[0].bookmark, QByteArray("fresh\xff", 6));
    EXPECT_EQ(reloaded.files()[4].url, QUrl::fromLocalFile(QStringLiteral("/notes/n1.md")));
}

TEST_F(RecentFiles, AnythingButAListOfRecordsReadsAsEmptyAndIsReplacedByTheNextOpen)
{
    for (const QByteArray& garbage :
         {QByteArray("not json"), QByteArray("{}"),
          QByteArray(R"([{"url":"file:///a.md","bookmark":"!!","openedAt":1}])"),
          QByteArray(R"([{"url":"file:///a.md","bookmark":"AA==","openedAt":"yesterday"}])"),
          QByteArray(R"([{"url":"file:///a.md","bookmark":"AA==","openedAt":1}, 3])")}) {
        settings->setValue(QStringLiteral("FlintlyRecentFiles"), garbage);
        RecentFileManager m(*settings);
        EXPECT_TRUE(m.files().isEmpty()) << garbage.constData();
    }
    settings->setValue(QStringLiteral("FlintlyRecentFiles"), QStringLiteral("a string, not data"));
    RecentFileManager m(*settings);
    EXPECT_TRUE(m.files().isEmpty());
    m.addRecent(QUrl::fromLocalFile(QStringLiteral("/a.md")), QByteArray("b"));
    EXPECT_EQ(RecentFileManager(*settings).files().size(), 1);
}
