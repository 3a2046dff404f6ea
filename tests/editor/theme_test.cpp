#include "EditorFixture.h"

#include "editor/AppTheme.h"
#include "editor/NoteView.h"
#include "editor/ScriptRunner.h"
#include "editor/ThemedRootView.h"
#include "editor/VisualEffectBlur.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QSignalSpy>

namespace flintly::test {
namespace {

TEST(AppThemeTest, OnlyZeroOneAndTwoNameAThemeAndEverythingElseIsAutomatic)
{
    EXPECT_EQ(appThemeFromRaw(0), AppTheme::system);
    EXPECT_EQ(appThemeFromRaw(2), AppTheme::dark);
    EXPECT_EQ(editorScript(AppTheme::dark, ColorScheme::light),
              QStringLiteral("window.setThemeMode?.('manual', 'dark')"))
        << "a chosen theme wins over the desktop's";
    for (qint64 raw : {-1, 3, 42}) {
        EXPECT_EQ(appThemeFromRaw(raw), std::nullopt) << raw;
        EXPECT_EQ(appThemeForStored(raw), AppTheme::system) << raw;
        // What the app sends: in automatic mode the page is told the desktop's scheme.
        EXPECT_EQ(editorScript(appThemeForStored(raw), ColorScheme::dark),
                  QStringLiteral("window.setThemeMode?.('auto', 'dark')"));
        EXPECT_EQ(preferredColorScheme(appThemeForStored(raw)), std::nullopt);
    }
    QStringList labels;
    for (AppTheme t : allAppThemes())
        labels << label(t);
    EXPECT_EQ(labels, (QStringList{"Automatic", "Light", "Dark"}));
}

class ThemeFixture : public EditorFixture {
protected:
    QString themeOfPage()
    {
        return js(QStringLiteral(
                      "document.documentElement.dataset.themeMode + '/' + document.documentElement.dataset.theme"))
            .toString();
    }
};

TEST_F(ThemeFixture, EachThemeReachesTheEditorAndSaysSo)
{
    openEditor();
    struct Row {
        qint64 stored;
        QString log;
        QString page;
    };
    const QList<Row> rows{
        {2, QStringLiteral("🎨 CodeMirror 다크 테마 설정 완료"), QStringLiteral("manual/dark")},
        {1, QStringLiteral("🎨 CodeMirror 라이트 테마 설정 완료"), QStringLiteral("manual/light")},
        {0, QStringLiteral("🎨 CodeMirror 자동 테마 모드 설정 완료"), QStringLiteral("auto/")},
        {-1, QStringLiteral("🎨 CodeMirror 자동 테마 모드 설정 완료"), QStringLiteral("auto/")},
    };
    for (const Row& row : rows) {
        logs.clear();
        settings->setValue(settingskeys::appTheme, row.stored);
        applyThemeToEditor(view->webView(), *settings);
        EXPECT_TRUE(waitUntil([&] { return logs.contains(row.log); })) << row.stored;
        EXPECT_TRUE(themeOfPage().startsWith(row.page)) << row.stored << " " << themeOfPage().toStdString();
    }
}

TEST_F(ThemeFixture, FailuresAreReportedToTheCallerAndLogged)
{
    // A page function that throws.
    openEditor();
    js(QStringLiteral("window.setThemeMode = () => { throw new Error('boom'); }; true"));
    settings->setValue(settingskeys::appTheme, 2);
    std::optional<ScriptOutcome> outcome;
    applyThemeToWebView(view->webView(), AppTheme::dark, [&](const ScriptOutcome& o) { outcome = o; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->ok);
    EXPECT_TRUE(outcome->error.contains(QLatin1String("boom"))) << outcome->error.toStdString();
    applyThemeToEditor(view->webView(), *settings);
    EXPECT_TRUE(waitUntil(
        [&] { return logs.containsPrefix(QStringLiteral("🚨 CodeMirror 다크 테마 설정 실패: Error: boom")); }));

    // No web view at all: nothing happens, nothing is logged.
    logs.clear();
    applyThemeToEditor(nullptr, *settings);
    spin(50);
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("🎨")));
    EXPECT_FALSE(logs.containsPrefix(QStringLiteral("🚨")));
}

TEST_F(ThemeFixture, APageThatIsNotThereCountsAsAFailure)
{
    QTemporaryDir empty;
    const QByteArray previous = qgetenv("FLINTLY_RESOURCE_DIR");
    qputenv("FLINTLY_RESOURCE_DIR", empty.path().toUtf8());
    openEditor(false);
    qputenv("FLINTLY_RESOURCE_DIR", previous);
    std::optional<ScriptOutcome> outcome;
    applyThemeToWebView(view->webView(), AppTheme::light, [&](const ScriptOutcome& o) { outcome = o; });
    ASSERT_TRUE(waitUntil([&] { return outcome.has_value(); }));
    EXPECT_FALSE(outcome->ok);
    applyThemeToEditor(view->webView(), *settings);
    EXPECT_TRUE(
        waitUntil([&] { return logs.contains(QStringLiteral("🚨 CodeMirror 자동 테마 설정 실패: page not loaded")); }));
}

// The root view, the note view inside it and the desktop's scheme.
class RootViewFixture : public ThemeFixture {
protected:
    void makeRoot()
    {
        WebView::Options options;
        options.urlOpener = &opener;
        options.bridge = &bridge;
        root = std::make_unique<ThemedRootView>(*settings, *model, options);
        root->resize(400, 500);
        root->show();
        ASSERT_TRUE(waitUntil(
            [&] {
                auto* web = root->noteView()->webView()->webView();
                return web && !web->page()->isLoading()
                    && evaluateJs(web->page(), QStringLiteral("typeof window.setThemeMode === 'function'")).toBool();
            },
            20000));
    }
    void TearDown() override
    {
        root.reset();
        QApplication::setPalette(QPalette());
        ThemeFixture::TearDown();
    }
    QWebEnginePage* rootPage() { return root->noteView()->webView()->webView()->page(); }
    std::unique_ptr<ThemedRootView> root;
};

QPalette darkDesktop()
{
    QPalette p = QApplication::palette();
    p.setColor(QPalette::Window, QColor(30, 30, 30));
    p.setColor(QPalette::WindowText, Qt::white);
    return p;
}

TEST_F(RootViewFixture, ChangingTheChoiceRethemesWindowAndEditorWithoutReloading)
{
    makeRoot();
    EXPECT_TRUE(logs.containsPrefix(QStringLiteral("🪵 NoteView sees → ") + model->debugIDString()));
    QSignalSpy reloads(rootPage(), &QWebEnginePage::loadStarted);
    NoteView* note = root->noteView();
    ASSERT_EQ(systemColorScheme(), ColorScheme::light);
    EXPECT_EQ(note->tintColor(), QColor(255, 255, 255, 26));

    settings->setValue(settingskeys::appTheme, 2);
    EXPECT_EQ(note->colorScheme(), ColorScheme::dark);
    EXPECT_EQ(note->tintColor(), QColor(0, 0, 0, 77));
    EXPECT_TRUE(isDark(root->palette()));
    EXPECT_TRUE(isDark(note->background()->palette()));
    EXPECT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("🎨 CodeMirror 다크 테마 설정 완료")); }));
    EXPECT_EQ(evaluateJs(rootPage(), QStringLiteral("document.documentElement.dataset.theme")).toString(), "dark");

    // Dark to automatic: the forced scheme goes, and 'auto' is sent.
    settings->setValue(settingskeys::appTheme, 0);
    EXPECT_EQ(root->preferredColorScheme(), std::nullopt);
    EXPECT_EQ(note->colorScheme(), ColorScheme::light);
    EXPECT_FALSE(isDark(root->palette()));
    EXPECT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("🎨 CodeMirror 자동 테마 모드 설정 완료")); }));
    EXPECT_EQ(evaluateJs(rootPage(), QStringLiteral("document.documentElement.dataset.themeMode")).toString(), "auto");
    EXPECT_EQ(reloads.count(), 0);
}

TEST_F(RootViewFixture, ADesktopSchemeChangeIsPostedOnceAndFollowedInAutomaticMode)
{
    makeRoot();
    int posted = 0;
    QObject receiver;
    NotificationCenter::defaultCenter().observe(QStringLiteral("systemColorSchemeChanged"), &receiver,
                                                [&](const Notification&) { ++posted; });
    logs.clear();
    QApplication::setPalette(darkDesktop());
    QApplication::processEvents();
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(root->noteView()->colorScheme(), ColorScheme::dark);
    EXPECT_TRUE(waitUntil([&] { return logs.contains(QStringLiteral("🎨 CodeMirror 자동 테마 모드 설정 완료")); }));
    // The engine cannot see the desktop's scheme; automatic mode is told it.
    EXPECT_EQ(
        evaluateJs(
            rootPage(),
            QStringLiteral("document.documentElement.dataset.themeMode + '/' + document.documentElement.dataset.theme"))
            .toString(),
        "auto/dark");

    // Another dark palette is no change of scheme.
    QPalette darker = darkDesktop();
    darker.setColor(QPalette::Window, QColor(10, 10, 10));
    QApplication::setPalette(darker);
    QApplication::processEvents();
    EXPECT_EQ(posted, 1);

    // A pinned light theme stays light on a dark desktop.
    settings->setValue(settingskeys::appTheme, 1);
    EXPECT_EQ(root->noteView()->colorScheme(), ColorScheme::light);
    EXPECT_FALSE(isDark(root->palette()));

    QApplication::setPalette(QPalette());
    QApplication::processEvents();
    EXPECT_EQ(posted, 2);
}

TEST_F(RootViewFixture, TheNoteViewKeepsItsWidthAndLeavesRoomForTheToolbar)
{
    makeRoot();
    NoteView* note = root->noteView();
    root->resize(700, 1000);
    QApplication::processEvents();
    EXPECT_EQ(note->width(), NoteView::kWidth);
    EXPECT_EQ(note->height(), 1000);
    EXPECT_EQ(note->minimumHeight(), NoteView::kMinimumHeight);
    EXPECT_EQ(note->maximumWidth(), NoteView::kWidth);
    EXPECT_EQ(note->webView()->geometry(), QRect(18, 36, 400 - 36, 1000 - 36));
    EXPECT_EQ(note->background()->geometry(), note->rect());
}

}  // namespace
}  // namespace flintly::test
