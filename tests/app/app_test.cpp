#include "app/AppDelegate.h"
#include "app/OnboardingController.h"
#include "app/OnboardingWindow.h"
#include "desktop/AutostartEntry.h"
#include "document/MarkdownModel.h"
#include "notepanel/FloatingPanelWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/SettingsStore.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/ManualTime.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDir>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace flintly;
using namespace flintly::test;

class StartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != u"xcb")
            GTEST_SKIP() << "needs an X server";
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        notes = home.filePath(QStringLiteral("Notes"));
        QDir().mkpath(notes);
    }
    void TearDown() override
    {
        delegate.reset();
        model.reset();
    }

    void configured(const QString& lastSeen = QStringLiteral("0.1.0"))
    {
        settings->setValue(QStringLiteral("flintlyHasOnboarded"), true);
        settings->setFileUrl(QStringLiteral("flintlySaveFolder"), QUrl::fromLocalFile(notes));
        settings->setValue(QStringLiteral("flintlyLastSeenVersion"), lastSeen);
    }

    AppDelegate& launch()
    {
        model = std::make_unique<MarkdownModel>(MarkdownModel::Dependencies(settings.get(), &chooser));
        AppDelegate::Dependencies deps;
        deps.settings = settings.get();
        deps.model = model.get();
        deps.alerts = &alerts;
        deps.startAnalytics = [this](const QString&, const QString& id) { identified = id; };
        deps.bindShowNote = [this](QObject*, std::function<void(const UserActivation&)> toggle) {
            hotkey = [toggle] { toggle({}); };
        };
        deps.time = time;
        deps.guidePath = home.filePath(QStringLiteral("no-guide.md"));
        delegate = std::make_unique<AppDelegate>(std::move(deps));
        delegate->applicationDidFinishLaunching();
        return *delegate;
    }

    QTemporaryDir home;
    QString notes;
    std::unique_ptr<SettingsStore> settings;
    FakeFileChooser chooser;
    ScriptedAlertPresenter alerts;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<AppDelegate> delegate;
    QString identified;
    std::function<void()> hotkey;
    TimeSource* time = nullptr;  // null: the system clock
};

TEST_F(StartUp, FirstLaunchOnboardsAndThePanelAppearsOnceTheFolderIsChosen)
{
    LogCapture logs;
    auto& d = launch();
    EXPECT_TRUE(logs.contains(QStringLiteral("👉 SUFeedURL = nil")));
    EXPECT_TRUE(logs.contains(QStringLiteral("🔴 updaterController is nil!")));
    EXPECT_EQ(identified, model->debugIDString());
    ASSERT_TRUE(d.onboarding());
    OnboardingWindow* window = d.onboarding()->window();
    ASSERT_TRUE(window);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Welcome to Flintly"));
    EXPECT_EQ(window->size(), QSize(400, 550));
    EXPECT_FALSE(d.panel());
    ASSERT_TRUE(hotkey);
    hotkey();  // the shortcut before a folder exists does nothing
    EXPECT_FALSE(d.panel());

    QTest::mouseClick(window->nextButton(), Qt::LeftButton);
    EXPECT_EQ(window->step(), OnboardingWindow::Step::chooseFolder);
    QTest::mouseClick(window->backButton(), Qt::LeftButton);
    EXPECT_EQ(window->step(), OnboardingWindow::Step::welcome);
    QTest::mouseClick(window->nextButton(), Qt::LeftButton);

    // Cancelled: the card comes back.
    QTest::mouseClick(window->pickButton(), Qt::LeftButton);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->step(), OnboardingWindow::Step::chooseFolder);
    EXPECT_FALSE(d.panel());

    // Opening at login is offered with the folder, off unless ticked.
    desktop::AutostartEntry login(desktop::AutostartEntry::defaultCommand());
    EXPECT_FALSE(window->openAtLoginBox()->isChecked());
    window->openAtLoginBox()->setChecked(true);
    EXPECT_FALSE(login.isEnabled()) << "nothing happens before the folder is chosen";
    chooser.answers.push_back(notes);
    QTest::mouseClick(window->pickButton(), Qt::LeftButton);
    EXPECT_TRUE(login.isEnabled());
    login.setEnabled(false);
    EXPECT_EQ(settings->fileUrlValue(QStringLiteral("flintlySaveFolder"))->toLocalFile(), notes);
    EXPECT_EQ(settings->boolValue(QStringLiteral("flintlyHasOnboarded")), true);
    EXPECT_EQ(settings->stringValue(QStringLiteral("flintlyLastSeenVersion")), QStringLiteral("0.1.0"));
    ASSERT_TRUE(d.panel());
    EXPECT_TRUE(d.panel()->isVisible());
    EXPECT_TRUE(d.autosave());
    EXPECT_TRUE(model->sessionStart());
    EXPECT_TRUE(waitUntil([&] { return !d.onboarding()->window(); }, 2000)) << "the onboarding window closes";

    FloatingPanelController* first = d.panel();
    NotificationCenter::defaultCenter().post(QStringLiteral("flintlyDidPickFolder"));
    EXPECT_EQ(d.panel(), first);
}

TEST_F(StartUp, OnboardedWithoutAFolderAsksForTheFolderDirectly)
{
    settings->setValue(QStringLiteral("flintlyHasOnboarded"), true);
    auto& d = launch();
    ASSERT_TRUE(d.onboarding() && d.onboarding()->window());
    EXPECT_EQ(d.onboarding()->window()->step(), OnboardingWindow::Step::chooseFolder);
}

TEST_F(StartUp, ANewVersionShowsWhatsNewOnceThenThePanel)
{
    configured(QStringLiteral("0.0.9"));
    auto& d = launch();
    ASSERT_EQ(alerts.shown.size(), 1);
    EXPECT_EQ(alerts.shown[0].title, QStringLiteral("What’s New in Flintly 0.1.0"));
    EXPECT_EQ(alerts.shown[0].message,
              QStringLiteral("• 초기 온보딩 플로우 개선\n• 업데이트 알림 버튼 추가\n• 전반적인 버그 수정 및 최적화"));
    EXPECT_EQ(alerts.shown[0].buttons, QStringList{QStringLiteral("OK")});
    EXPECT_EQ(settings->stringValue(QStringLiteral("flintlyLastSeenVersion")), QStringLiteral("0.1.0"));
    EXPECT_TRUE(d.panel());
}

TEST_F(StartUp, TheHotkeyTogglesThePanel)
{
    configured();
    auto& d = launch();
    EXPECT_TRUE(alerts.shown.isEmpty());
    ASSERT_TRUE(d.panel());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(d.panel()->window()));
    hotkey();
    EXPECT_FALSE(d.panel()->isVisible());
    hotkey();
    EXPECT_TRUE(d.panel()->isVisible());
}

TEST_F(StartUp, ThemeSynchronisationRetriesTenTimesWithGrowingWaits)
{
    configured();
    settings->setValue(QStringLiteral("appTheme"), 2);
    test::ManualTime clock;
    time = &clock;
    LogCapture logs;
    auto& d = launch();
    const QDateTime launched = clock.now();
    std::vector<qint64> attemptTimes;
    QStringList scripts;
    QObject page;
    d.registerWebView(&page, [&](const QString& script, std::function<void(const QString&)> done) {
        attemptTimes.push_back(launched.msecsTo(clock.now()));
        scripts.append(script);
        done(QStringLiteral("ReferenceError: setThemeMode is not defined"));
    });
    clock.advance(60 * 60 * 1000);
    ASSERT_EQ(attemptTimes.size(), 10u) << "ten attempts, no eleventh";
    EXPECT_EQ(scripts[0], QStringLiteral("window.setThemeMode?.('manual', 'dark')"));
    EXPECT_EQ(attemptTimes[0], AppDelegate::kThemeSyncDelayMs);
    for (size_t n = 1; n < attemptTimes.size(); ++n)
        EXPECT_EQ(attemptTimes[n] - attemptTimes[n - 1], qint64(n) * AppDelegate::kThemeRetryUnitMs)
            << "wait before attempt " << n + 1;
    EXPECT_TRUE(logs.contains(
        QStringLiteral("🚨 초기 테마 동기화 실패 (시도 10/10): ReferenceError: setThemeMode is not defined")));
}

TEST_F(StartUp, ThemeSynchronisationWithoutAWebViewIsSkippedAndSuccessIsLogged)
{
    configured();
    {
        LogCapture logs;
        launch();
        EXPECT_TRUE(
            waitUntil([&] { return logs.contains(QStringLiteral("🚨 WebView 참조가 없어 초기 동기화를 건너뜁니다")); }));
    }
    LogCapture logs;
    QObject page;
    delegate->registerWebView(&page, [](const QString&, std::function<void(const QString&)> done) { done(QString()); });
    delegate->applyTheme(1);
    EXPECT_TRUE(logs.contains(QStringLiteral("🎨 초기 테마 동기화 완료 (시도 1): system")));
}
