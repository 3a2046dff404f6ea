#include "app/CommandLine.h"
#include "app/QuickGuide.h"
#include "app/SingleInstance.h"
#include "app/StartupDecision.h"
#include "app/Updater.h"
#include "document/MarkdownModel.h"
#include "platform/SettingsStore.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <thread>

using namespace flintly;

struct DecisionRow {
    const char* label;
    std::optional<bool> onboarded;
    bool folderStored;
    std::optional<QString> lastSeen;
    StartupOutcome expected;
};

class StartupDecisionTable : public ::testing::TestWithParam<DecisionRow> {};

TEST_P(StartupDecisionTable, PicksOnboardingWhatsNewOrNormal)
{
    QTemporaryDir dir;
    SettingsStore s(dir.filePath(QStringLiteral("s.conf")));
    const auto& row = GetParam();
    if (row.onboarded)
        s.setValue(QStringLiteral("flintlyHasOnboarded"), *row.onboarded);
    if (row.folderStored)
        s.setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(dir.path()));
    if (row.lastSeen)
        s.setValue(QStringLiteral("flintlyLastSeenVersion"), *row.lastSeen);
    EXPECT_EQ(decideStartup(s, QStringLiteral("1.2")), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, StartupDecisionTable,
    ::testing::Values(
        DecisionRow{"first_launch", std::nullopt, false, std::nullopt, StartupOutcome::onboarding},
        DecisionRow{"not_onboarded_with_folder", false, true, QStringLiteral("1.2"), StartupOutcome::onboarding},
        DecisionRow{"onboarded_without_folder", true, false, QStringLiteral("1.2"), StartupOutcome::onboarding},
        DecisionRow{"same_version", true, true, QStringLiteral("1.2"), StartupOutcome::normal},
        DecisionRow{"never_seen", true, true, std::nullopt, StartupOutcome::whatsNew},
        DecisionRow{"upgrade", true, true, QStringLiteral("1.1"), StartupOutcome::whatsNew},
        DecisionRow{"downgrade", true, true, QStringLiteral("1.3"), StartupOutcome::whatsNew}),
    [](const auto& info) { return std::string(info.param.label); });

class QuickGuide : public ::testing::Test {
protected:
    void SetUp() override
    {
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("s.conf")));
        notes = home.filePath(QStringLiteral("Notes"));
        QDir().mkpath(notes);
        bundled = home.filePath(QStringLiteral("Guide.md"));
        QFile f(bundled);
        f.open(QIODevice::WriteOnly);
        f.write("# Guide\nhello\n");
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get()));
    }
    QString destination() const { return QDir(notes).filePath(kQuickGuideFileName); }
    QByteArray read(const QString& path)
    {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }

    QTemporaryDir home;
    QString notes, bundled;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<MarkdownModel> model;
};

TEST_F(QuickGuide, IsCopiedOpenedAndMarkedPlaced)
{
    placeQuickGuide(*model, *settings, notes, bundled);
    EXPECT_EQ(read(destination()), QByteArray("# Guide\nhello\n"));
    EXPECT_EQ(model->filePath(), destination());
    EXPECT_FALSE(model->isScratch());
    EXPECT_EQ(settings->boolValue(QStringLiteral("didInsertQuickGuide")), true);
}

TEST_F(QuickGuide, AGuideTheUserEditedIsKept)
{
    QFile f(destination());
    f.open(QIODevice::WriteOnly);
    f.write("# Guide\nmy own notes in here\n");
    f.close();
    placeQuickGuide(*model, *settings, notes, bundled);
    EXPECT_EQ(read(destination()), QByteArray("# Guide\nmy own notes in here\n"));
    EXPECT_TRUE(model->filePath().isEmpty()) << "nothing was placed, so nothing is opened";
    EXPECT_EQ(settings->boolValue(QStringLiteral("didInsertQuickGuide")), true);
}

TEST_F(QuickGuide, WithoutTheBundledGuideAnOldCopyGoesAndTheFlagIsStillSet)
{
    QFile f(destination());
    f.open(QIODevice::WriteOnly);
    f.write("# Guide\nhello\n");
    f.close();
    placeQuickGuide(*model, *settings, notes, home.filePath(QStringLiteral("missing.md")));
    EXPECT_FALSE(QFile::exists(destination()));
    EXPECT_TRUE(model->filePath().isEmpty());
    EXPECT_EQ(settings->boolValue(QStringLiteral("didInsertQuickGuide")), true);
}

TEST(CommandLine, KnowsItsOptionsAndRefusesOthers)
{
    EXPECT_EQ(parseCommandLine({"flintly"}).action, CommandLine::Action::run);
    EXPECT_EQ(parseCommandLine({"flintly", "--toggle"}).action, CommandLine::Action::toggle);
    EXPECT_EQ(parseCommandLine({"flintly", "--version"}).action, CommandLine::Action::version);
    EXPECT_EQ(parseCommandLine({"flintly", "-platform", "offscreen", "--help"}).action, CommandLine::Action::help);
    const auto bad = parseCommandLine({"flintly", "--frobnicate"});
    EXPECT_EQ(bad.action, CommandLine::Action::error);
    EXPECT_TRUE(bad.error.contains(QStringLiteral("--frobnicate")));
    EXPECT_TRUE(versionText().startsWith(QStringLiteral("Flintly ")));
}

TEST(SingleInstance, OnePerConfigurationFolderAndALaterLaunchHandsItsRequestOver)
{
    QTemporaryDir home;
    const QString lock = home.filePath(QStringLiteral("config/Flintly/Flintly.lock"));
    auto first = std::make_unique<SingleInstance>(lock);
    ASSERT_TRUE(first->tryLock());
    QStringList got;
    ASSERT_TRUE(first->listen([&](const QString& r) {
        got.append(r);
        const auto path = SingleInstance::openedPath(r);
        return path && !QFileInfo::exists(*path) ? QStringLiteral("there is no such file") : QString();
    }));

    SingleInstance second(lock);
    EXPECT_FALSE(second.tryLock()) << "the same configuration is taken";
    // The later launch blocks while it talks, as the real one does before exiting, so
    // it runs on its own thread while this one serves.
    auto handOver = [&](const QString& request) {
        SingleInstance::Answer answer;
        std::thread launch([&] { answer = second.handOver(request, 3000); });
        const qsizetype before = got.size();
        EXPECT_TRUE(test::waitUntil([&] { return got.size() > before; }));
        launch.join();
        return answer;
    };
    EXPECT_EQ(handOver(QStringLiteral("toggle")).kind, SingleInstance::Answer::Kind::done);
    EXPECT_EQ(got, QStringList{QStringLiteral("toggle")});

    // A file to open arrives whole, whatever its name holds, and a refusal comes back
    // with its reason for the later launch to print.
    const QString odd = home.filePath(QStringLiteral("a note\nwith 100% odd: name.md"));
    const SingleInstance::Answer refused = handOver(SingleInstance::openRequest(odd));
    EXPECT_EQ(SingleInstance::openedPath(got.last()), odd);
    EXPECT_EQ(refused.kind, SingleInstance::Answer::Kind::refused);
    EXPECT_EQ(refused.reason, QStringLiteral("there is no such file"));

    // The same folder reached through a link is the same configuration.
    ASSERT_TRUE(QFile::link(home.filePath(QStringLiteral("config")), home.filePath(QStringLiteral("linked"))));
    SingleInstance viaLink(home.filePath(QStringLiteral("linked/Flintly/Flintly.lock")));
    EXPECT_FALSE(viaLink.tryLock());
    EXPECT_EQ(viaLink.socketName(), first->socketName());

    // Another configuration folder is another Flintly.
    SingleInstance other(home.filePath(QStringLiteral("other/Flintly/Flintly.lock")));
    EXPECT_TRUE(other.tryLock());
    EXPECT_NE(other.socketName(), first->socketName());
    EXPECT_EQ(other.sendToRunning(QStringLiteral("show"), 200).kind, SingleInstance::Answer::Kind::notListening)
        << "nobody listens for that one";

    // The lock goes with its holder, however it ends.
    first.reset();
    EXPECT_TRUE(SingleInstance(lock).tryLock());
}

TEST(Appcast, TheNewestUsableReleaseWins)
{
    const QByteArray feed = R"xml(<?xml version="1.0"?>
<rss xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle" version="2.0"><channel>
  <item><title>1.9</title><enclosure url="https://example.invalid/flintly-1.9.tar.gz" sparkle:shortVersionString="1.9" sparkle:version="19"/></item>
  <item><title>1.10</title><sparkle:shortVersionString>1.10</sparkle:shortVersionString><link>https://example.invalid/1.10</link></item>
  <item><title>2.0</title><enclosure url="javascript:alert(1)" sparkle:shortVersionString="2.0"/></item>
</channel></rss>)xml";
    const auto release = newestRelease(feed);
    ASSERT_TRUE(release);
    EXPECT_EQ(release->version, QStringLiteral("1.10"));
    EXPECT_EQ(release->downloadUrl, QUrl(QStringLiteral("https://example.invalid/1.10")));
    EXPECT_FALSE(newestRelease("<rss><channel><item>"));
    EXPECT_GT(compareVersions(QStringLiteral("1.10"), QStringLiteral("1.9")), 0);
    EXPECT_EQ(compareVersions(QStringLiteral("1.0"), QStringLiteral("1")), 0);
}

TEST(Updater, WithoutAFeedNothingIsRequested)
{
    Updater updater(QString(), QStringLiteral("1.0"));
    EXPECT_FALSE(updater.canCheckForUpdates());
    EXPECT_FALSE(updater.automaticallyChecksForUpdates());
    QString failure;
    QObject::connect(&updater, &Updater::checkFailed, [&](const QString& r) { failure = r; });
    updater.checkForUpdatesInBackground();
    EXPECT_TRUE(failure.isEmpty()) << "a background check without a feed is silent";
    updater.checkForUpdates();
    EXPECT_FALSE(failure.isEmpty());
}
