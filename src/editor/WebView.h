#pragma once

#include <QPointer>
#include <QWebEngineView>
#include <QWidget>

#include <memory>

namespace flintly {

class Coordinator;
class MarkdownModel;
class TimeSource;
class UrlOpener;
class WebViewBridge;

// Hosts the editor page for one model. The web view is created once, the first time
// this widget is shown, and lives as long as this widget; the bridge and the app only
// hold it weakly.
class WebView : public QWidget {
    Q_OBJECT
public:
    struct Options {
        UrlOpener* urlOpener = nullptr;   // null: the desktop's default applications
        WebViewBridge* bridge = nullptr;  // null: WebViewBridge::shared()
        TimeSource* time = nullptr;       // null: the system clock and Qt timers
    };

    explicit WebView(MarkdownModel& model, QWidget* parent = nullptr);
    WebView(MarkdownModel& model, Options options, QWidget* parent = nullptr);
    ~WebView() override;

    MarkdownModel& model() const { return model_; }
    Coordinator& coordinator() const { return *coordinator_; }
    // Null until the view was first shown.
    QWebEngineView* webView() const { return web_.data(); }

    // Creates the web view now if showing has not already done so.
    void ensureWebView();

    // The script of ours that runs before any page script: the page's WebKit-style
    // message handlers, forwarding over the web channel.
    static QString messageHandlerScript();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void makeWebView();
    void installDeveloperTools(QWebEngineView* web);

    MarkdownModel& model_;
    WebViewBridge& bridge_;
    std::unique_ptr<UrlOpener> ownUrlOpener_;
    std::unique_ptr<Coordinator> coordinator_;
    QPointer<QWebEngineView> web_;
    QPointer<QWebEngineView> devTools_;
    QString loadingLine_;  // logged when first shown
};

}  // namespace flintly
