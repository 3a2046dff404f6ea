// Showing an item in the file manager never waits for the file manager: the call goes
// out and the answer, an error or silence decide later whether the folder opens instead.
// The stand-in file manager answers on the GUI thread, so a call that blocked could never
// be answered in time.
#include "platform_widgets/DesktopUrlOpener.h"
#include "support/ManualTime.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>

using namespace flintly;
using namespace flintly::test;

namespace {

class StandInFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    enum class Way { answers, refuses, neverAnswers };

    explicit StandInFileManager(Way way) : way_(way)
    {
        bus_.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), this, QDBusConnection::ExportAllSlots);
        bus_.registerService(QStringLiteral("org.freedesktop.FileManager1"));
    }
    ~StandInFileManager() override
    {
        bus_.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
        bus_.unregisterObject(QStringLiteral("/org/freedesktop/FileManager1"));
    }

    QStringList shown;
    QList<QDBusMessage> unanswered;

public slots:
    void ShowItems(const QStringList& uris, const QString&, const QDBusMessage& message)
    {
        shown += uris;
        if (way_ == Way::refuses) {
            bus_.send(message.createErrorReply(QDBusError::Failed, QStringLiteral("no window")));
        } else if (way_ == Way::neverAnswers) {
            message.setDelayedReply(true);
            unanswered.append(message);
        }
    }

private:
    Way way_;
    QDBusConnection bus_ = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file-manager"));
};

class Reveal : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "needs a session bus";
    }

    DesktopUrlOpener makeOpener()
    {
        DesktopUrlOpener::Options options;
        options.time = &time;
        options.open = [this](const QUrl& url) {
            opened.append(url);
            return true;
        };
        return DesktopUrlOpener(options);
    }

    const QString notes = QStringLiteral("/home/someone/Notes");
    const QList<QUrl> parent{QUrl::fromLocalFile(QStringLiteral("/home/someone"))};
    ManualTime time;
    QList<QUrl> opened;
};

TEST_F(Reveal, AFileManagerThatAnswersShowsTheItemAndNothingElseOpens)
{
    StandInFileManager fileManager(StandInFileManager::Way::answers);
    DesktopUrlOpener opener = makeOpener();
    opener.revealInFileManager(notes);
    EXPECT_TRUE(fileManager.shown.isEmpty()) << "the call returned before the file manager could even see it";
    ASSERT_TRUE(waitUntil([&] { return !fileManager.shown.isEmpty(); }));
    EXPECT_EQ(fileManager.shown, QStringList{QUrl::fromLocalFile(notes).toString()});
    spin(50);  // its answer arrives
    time.advance(DesktopUrlOpener::kRevealAnswerMs * 2);
    EXPECT_TRUE(opened.isEmpty());
}

TEST_F(Reveal, OneThatNeverAnswersGetsTheFolderOpenedOnceItsTimeIsUp)
{
    StandInFileManager fileManager(StandInFileManager::Way::neverAnswers);
    DesktopUrlOpener opener = makeOpener();
    opener.revealInFileManager(notes);
    ASSERT_TRUE(waitUntil([&] { return !fileManager.unanswered.isEmpty(); }));
    time.advance(DesktopUrlOpener::kRevealAnswerMs - 1);
    EXPECT_TRUE(opened.isEmpty()) << "still its time to answer";
    time.advance(1);
    EXPECT_EQ(opened, parent);

    // A late answer changes nothing.
    QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("file-manager"))
        .send(fileManager.unanswered.first().createReply());
    spin(50);
    EXPECT_EQ(opened, parent);
}

TEST_F(Reveal, ARefusalOrNoFileManagerAtAllOpensTheFolderAtOnce)
{
    {
        StandInFileManager fileManager(StandInFileManager::Way::refuses);
        DesktopUrlOpener opener = makeOpener();
        opener.revealInFileManager(notes);
        EXPECT_TRUE(waitUntil([&] { return opened == parent; }));
    }
    opened.clear();
    DesktopUrlOpener opener = makeOpener();
    opener.revealInFileManager(notes);
    EXPECT_TRUE(waitUntil([&] { return opened == parent; })) << "nobody owns the name";
    time.advance(DesktopUrlOpener::kRevealAnswerMs);
    EXPECT_EQ(opened, parent) << "and only once";
}

}  // namespace

#include "reveal_test.moc"
