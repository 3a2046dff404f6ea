#pragma once

#include "document/MarkdownModel.h"
#include "editor/Coordinator.h"
#include "editor/WebView.h"
#include "editor/WebViewBridge.h"
#include "platform/SettingsStore.h"
#include "support/FakeDialogs.h"
#include "support/LogCapture.h"
#include "support/ManualTime.h"
#include "support/RecordingUsageTracker.h"
#include "support/TestEnvironment.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>

QT_BEGIN_NAMESPACE
// Readable failures: gtest would otherwise print QStrings as raw bytes.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os)
{
    *os << '[' << l.join(QStringLiteral(" | ")).toStdString() << ']';
}
QT_END_NAMESPACE

namespace flintly::test {

// A URL opener whose answer the test chooses (the desktop may refuse a link).
class ScriptedUrlOpener final : public UrlOpener {
public:
    bool answer = true;
    QList<QUrl> opened;
    bool openUrl(const QUrl& url) override
    {
        opened.append(url);
        return answer;
    }
    void revealInFileManager(const QString&) override {}
    void beep() override {}
};

// A string as a JavaScript expression, encoded by Qt's JSON writer rather than by the
// escaping under test.
inline QString jsString(const QString& text)
{
    const QByteArray json = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json) + QStringLiteral("[0]");
}

// Runs a script in the page and waits for its value.
inline QVariant evaluateJs(QWebEnginePage* page, const QString& script, int timeoutMs = 5000)
{
    bool done = false;
    QVariant value;
    page->runJavaScript(script, [&](const QVariant& v) {
        value = v;
        done = true;
    });
    EXPECT_TRUE(waitUntil([&] { return done; }, timeoutMs)) << script.left(200).toStdString();
    return value;
}

// One model, one editor web view with the built page, a recording URL opener and a
// bridge of its own. The page's setMarkdown and showLinkError are wrapped so tests see
// every call native code makes.
class EditorFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        settings = std::make_unique<SettingsStore>(home.filePath(QStringLiteral("Flintly.conf")));
        QDir().mkpath(home.filePath(QStringLiteral("Notes")));
        settings->setFileUrl(QStringLiteral("flintlySaveFolder"),
                             QUrl::fromLocalFile(home.filePath(QStringLiteral("Notes"))));
        MarkdownModel::Dependencies deps;
        deps.settings = settings.get();
        deps.tracker = &tracker;
        model = std::make_unique<MarkdownModel>(std::move(deps));
    }

    void TearDown() override
    {
        view.reset();
        model.reset();
    }

    // Creates and shows the editor; with `waitForPage`, returns once the page runs.
    // With `time`, the view's pacing of the page runs on it.
    void openEditor(bool waitForPage = true, TimeSource* time = nullptr)
    {
        WebView::Options options;
        options.urlOpener = &opener;
        options.bridge = &bridge;
        options.time = time;
        view = std::make_unique<WebView>(*model, options);
        view->resize(400, 400);
        view->show();
        ASSERT_NE(view->webView(), nullptr);
        if (waitForPage)
            waitForPageReady();
    }

    void waitForPageReady()
    {
        ASSERT_TRUE(waitUntil(
            [&] {
                return !page()->isLoading()
                    && evaluateJs(page(), QStringLiteral("typeof window.getMarkdown === 'function'")).toBool();
            },
            20000));
        evaluateJs(page(), QStringLiteral(R"JS(
            window.__setCalls = [];
            window.__linkErrors = [];
            const realSet = window.setMarkdown;
            window.setMarkdown = (t, g) => { window.__setCalls.push(t); return realSet(t, g); };
            const realError = window.showLinkError;
            window.showLinkError = (m) => { window.__linkErrors.push(m); return realError(m); };
            true;
        )JS"));
    }

    QWebEnginePage* page() const { return view->webView()->page(); }
    QVariant js(const QString& script) { return evaluateJs(page(), script); }
    // Prefixed: Qt drops a byte-order mark that starts a string coming out of the engine.
    QString pageText() { return js(QStringLiteral("'=' + window.getMarkdown()")).toString().mid(1); }
    int setCalls() { return js(QStringLiteral("window.__setCalls.length")).toInt(); }
    QStringList linkErrors() { return js(QStringLiteral("window.__linkErrors")).toStringList(); }
    // Posts a message the way the page does, through the handler shim and the channel.
    void post(const QString& name, const QString& bodyExpression)
    {
        js(QStringLiteral("window.webkit.messageHandlers.%1.postMessage(%2); true").arg(name, bodyExpression));
    }
    bool pageTextBecomes(const QString& text, int timeoutMs = 3000)
    {
        return waitUntil([&] { return pageText() == text; }, timeoutMs);
    }

    QTemporaryDir home;
    std::unique_ptr<SettingsStore> settings;
    RecordingUsageTracker tracker;
    ScriptedUrlOpener opener;
    WebViewBridge bridge;
    std::unique_ptr<MarkdownModel> model;
    std::unique_ptr<WebView> view;
    LogCapture logs;
};

}  // namespace flintly::test
