#include "app/AppendInput.h"
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
#include <unistd.h>

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
    using Action = CommandLine::Action;
    EXPECT_EQ(parseCommandLine({"flintly"}).action, Action::run);
    EXPECT_EQ(parseCommandLine({"flintly", "--toggle"}).action, Action::toggle);
    EXPECT_EQ(parseCommandLine({"flintly", "--version"}).action, Action::version);
    EXPECT_EQ(parseCommandLine({"flintly", "-platform", "offscreen", "--help"}).action, Action::help);
    EXPECT_TRUE(parseCommandLine({"flintly", "--hidden"}).hidden);
    // A file manager passes every file chosen; the first is the one opened.
    const auto files = parseCommandLine({"flintly", "first.md", "--hidden", "second.md"});
    EXPECT_EQ(files.file, QFileInfo(QStringLiteral("first.md")).absoluteFilePath());
    EXPECT_EQ(files.extraFiles, QStringList{QFileInfo(QStringLiteral("second.md")).absoluteFilePath()});
    const auto bad = parseCommandLine({"flintly", "--frobnicate"});
    EXPECT_EQ(bad.action, Action::error);
    EXPECT_TRUE(bad.error.contains(QStringLiteral("--frobnicate")));
    EXPECT_TRUE(versionText().startsWith(QStringLiteral("Flintly ")));

    // The text's place in the arguments, so its bytes can be checked as they came.
    const auto append = parseCommandLine({"flintly", "--hidden", "--append", "-x"});
    EXPECT_EQ(append.action, Action::append);
    EXPECT_EQ(append.appendArgument, QStringLiteral("-x")) << "whatever follows is the text";
    EXPECT_EQ(append.appendIndex, 3);
    const auto joined = parseCommandLine({"flintly", "--append=a=b"});
    EXPECT_EQ(joined.appendArgument, QStringLiteral("a=b"));
    EXPECT_EQ(std::pair(joined.appendIndex, joined.appendOffset), std::pair(qsizetype(1), qsizetype(9)));
    const auto history = parseCommandLine({"flintly", "--history", "note.md", "--print", "12"});
    EXPECT_EQ(history.action, Action::history);
    EXPECT_EQ(history.historyNote, QFileInfo(QStringLiteral("note.md")).absoluteFilePath());
    EXPECT_EQ(history.historyVersion, 12);
    for (const QStringList& wrong :
         {QStringList{"flintly", "--append"}, QStringList{"flintly", "--toggle", "--append", "x"},
          QStringList{"flintly", "--append", "x", "note.md"}, QStringList{"flintly", "--toggle=yes"},
          QStringList{"flintly", "--print", "3"}, QStringList{"flintly", "--history", "a.md", "--print", "x"},
          QStringList{"flintly", "--history", "a.md", "b.md"}, QStringList{"flintly", "--toggle", "--history", "a.md"}})
        EXPECT_EQ(parseCommandLine(wrong).action, Action::error) << wrong.join(u' ').toStdString();

    for (const char* option : {"--toggle", "--hidden", "--append TEXT", "--history NOTE", "--print ID", "-v, --version",
                               "-h, --help", "FILE", "1 MiB"})
        EXPECT_TRUE(helpText().contains(QLatin1String(option))) << option;
}

TEST(AppendInput, TakesUtf8TextUpToTheLimitAndRefusesTheRestWhole)
{
    using Status = AppendInput::Status;
    EXPECT_EQ(AppendInput::fromBytes("Buy milk\n").text, QStringLiteral("Buy milk")) << "echo's line end goes";
    EXPECT_EQ(AppendInput::fromBytes("  indented\n\nlines\r\n").text, QStringLiteral("  indented\n\nlines"));
    EXPECT_EQ(AppendInput::fromBytes("\xea\xb0\x80 \xf0\x9f\x93\x9d").text, QStringLiteral("가 📝"));
    EXPECT_EQ(AppendInput::fromBytes(" \n\t\n").status, Status::empty);
    EXPECT_EQ(AppendInput::fromBytes("caf\xe9").status, Status::notText);
    EXPECT_EQ(AppendInput::fromBytes("\xf0\x9f\x93").status, Status::notText) << "cut in the middle of a character";
    EXPECT_EQ(AppendInput::fromBytes(QByteArray("a\0b", 3)).status, Status::notText);
    EXPECT_EQ(AppendInput::fromBytes(QByteArray(AppendInput::kMaxBytes, 'a')).status, Status::text);
    const auto large = AppendInput::fromBytes(QByteArray(AppendInput::kMaxBytes + 1, 'a'));
    EXPECT_EQ(large.status, Status::tooLarge);
    EXPECT_TRUE(large.text.isEmpty());
    EXPECT_FALSE(large.message.isEmpty());
}

TEST(SingleInstance, OnePerConfigurationFolderAndALaterLaunchHandsItsRequestOver)
{
    QTemporaryDir home;
    const QString lock = home.filePath(QStringLiteral("config/Flintly/Flintly.lock"));
    auto first = std::make_unique<SingleInstance>(lock);
    ASSERT_TRUE(first->tryLock());
    QList<InstanceRequest> got;
    SingleInstance::Answer later;
    ASSERT_TRUE(first->listen([&](const InstanceRequest& r, SingleInstance::Answer answer) {
        got.append(r);
        if (r.kind == InstanceRequest::Kind::append)
            later = std::move(answer);  // answered once the text is saved
        else if (r.kind == InstanceRequest::Kind::open && !QFileInfo::exists(r.argument))
            answer({false, QStringLiteral("there is no such file"), true});
        else
            answer({});
    }));
    QFile pid(lock);
    ASSERT_TRUE(pid.open(QIODevice::ReadOnly));
    EXPECT_EQ(pid.readAll().trimmed().toLongLong(), static_cast<qint64>(::getpid()));

    SingleInstance second(lock);
    EXPECT_FALSE(second.tryLock()) << "the same configuration is taken";
    // The later launch blocks while it talks, as the real one does before exiting, so
    // it runs on its own thread while this one serves.
    InstanceRequest toggle{InstanceRequest::Kind::toggle, QString(), QStringLiteral("launcher-1_TIME42")};
    SingleInstance::Delivery delivery;
    std::thread launch([&] { delivery = second.handOver(toggle, 3000); });
    EXPECT_TRUE(test::waitUntil([&] { return !got.isEmpty(); }));
    launch.join();
    EXPECT_EQ(delivery.outcome, SingleInstance::Delivery::Outcome::answered);
    ASSERT_EQ(got.size(), 1);
    EXPECT_EQ(got[0].kind, InstanceRequest::Kind::toggle);
    EXPECT_EQ(got[0].activationToken, toggle.activationToken);

    // Text with line breaks crosses in one line; the answer waits for the handler.
    const InstanceRequest append{InstanceRequest::Kind::append, QStringLiteral("two\nlines"), QString()};
    std::thread capture([&] { delivery = second.handOver(append, 3000, 10000); });
    EXPECT_TRUE(test::waitUntil([&] { return bool(later); }));
    EXPECT_EQ(got.last().argument, append.argument);
    later({false, QStringLiteral("no notes folder"), true});
    capture.join();
    EXPECT_EQ(delivery.outcome, SingleInstance::Delivery::Outcome::answered);
    EXPECT_FALSE(delivery.answer.ok);
    EXPECT_EQ(delivery.answer.error, QStringLiteral("no notes folder"));

    // A file to open arrives whole, whatever its name holds, and a refusal comes back
    // with its reason for the later launch to print.
    const QString odd = home.filePath(QStringLiteral("a note\nwith 100% odd: name.md"));
    std::thread open([&] { delivery = second.handOver({InstanceRequest::Kind::open, odd, QString()}, 3000); });
    EXPECT_TRUE(test::waitUntil([&] { return got.size() == 3; }));
    open.join();
    EXPECT_EQ(got.last().argument, odd);
    EXPECT_FALSE(delivery.answer.ok);
    EXPECT_EQ(delivery.answer.error, QStringLiteral("there is no such file"));

    // The same folder reached through a link is the same configuration.
    ASSERT_TRUE(QFile::link(home.filePath(QStringLiteral("config")), home.filePath(QStringLiteral("linked"))));
    SingleInstance viaLink(home.filePath(QStringLiteral("linked/Flintly/Flintly.lock")));
    EXPECT_FALSE(viaLink.tryLock());
    EXPECT_EQ(viaLink.socketName(), first->socketName());

    // Another configuration folder is another Flintly.
    SingleInstance other(home.filePath(QStringLiteral("other/Flintly/Flintly.lock")));
    EXPECT_TRUE(other.tryLock());
    EXPECT_NE(other.socketName(), first->socketName());
    EXPECT_EQ(other.sendToRunning({}, 200).outcome, SingleInstance::Delivery::Outcome::notRunning)
        << "nobody listens for that one";

    // The lock goes with its holder, however it ends.
    first.reset();
    EXPECT_TRUE(SingleInstance(lock).tryLock());
}

TEST(InstanceRequest, AnOlderInstancesBareOkIsReadNotDone)
{
    EXPECT_EQ(InstanceRequest{}.encode(), "show\n") << "what an older Flintly understands";
    EXPECT_FALSE(InstanceRequest::decode("{\"request\":\"append\"}")) << "nothing to append";
    EXPECT_FALSE(InstanceRequest::decode("frobnicate"));
    EXPECT_FALSE(InstanceAnswer::decode("ok")->carriedOut);
    EXPECT_TRUE(InstanceAnswer::decode(InstanceAnswer{}.encode())->carriedOut);
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
