#pragma once

#include "editor/EditorPageDelegate.h"

#include <QJsonValue>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <optional>

namespace flintly {

class Debouncer;
class MarkdownModel;
class TimeSource;
class UrlOpener;
class WebView;
class WebViewBridge;

// The native end of the page protocol for one editor web view: takes the page's
// messages, decides its navigations, and pushes the model's text into the page when it
// changed anywhere but in the page itself.
class Coordinator : public EditorPageDelegate {
    Q_OBJECT
public:
    static constexpr int kTextDebounceMs = 150;

    // `time` paces the page's replacements; null: the system clock and Qt timers.
    Coordinator(WebView* parent, MarkdownModel& model, UrlOpener& urlOpener, WebViewBridge& bridge,
                TimeSource* time = nullptr);
    ~Coordinator() override;

    WebView* parentView() const { return parent_; }
    QWebEngineView* web() const { return web_.data(); }
    void setWeb(QWebEngineView* web) { web_ = web; }

    bool isUpdatingFromJS() const { return isUpdatingFromJS_; }
    QString lastHTMLFromJS() const { return lastHTMLFromJS_; }

    // A message posted by the page through window.webkit.messageHandlers.NAME, while
    // it had the text of `generation`.
    void receiveScriptMessage(const QString& name, const QJsonValue& body, quint64 generation = 0);
    // The same for a string body, which is how every message with one arrives; a text
    // report comes with the number the page gave it.
    void receiveScriptText(const QString& name, const QString& text, quint64 generation = 0, quint64 report = 0);
    // Takes the page's text as it is now into the model, waiting at most `timeoutMs`
    // (quitting must not lose what the page has not reported yet). Returns whether the
    // page answered.
    bool pullLatestText(int timeoutMs) override;
    // The text the page was given as `generation`, if that was the last one it was given.
    std::optional<QString> sentText(quint64 generation) const;
    // The page finished loading: it gets the note and the keyboard.
    void didFinishNavigation();
    // The page is being (re)loaded: texts wait for didFinishNavigation.
    void didStartNavigation()
    {
        pageLoaded_ = false;
        pageReport_.reset();
    }
    // Whether the page may navigate itself; web links go to the browser instead.
    bool decidePolicyForNavigation(const QUrl& url, QWebEnginePage::NavigationType type) override;
    // A blank-target link or window.open(): diverted to the browser, never a window.
    void divertNewWindow(const std::optional<QUrl>& url) override;

private:
    void textSettled();
    void generationMoved();
    void didChange(const QString& text, quint64 generation, quint64 report);
    void pushText();
    bool pushMerge();
    void openLink(const QString& body);
    void installUpdate();
    void evaluate(const QString& script);
    bool openWithWorkspace(const QUrl& url);

    WebView* const parent_;
    MarkdownModel& model_;
    UrlOpener& urlOpener_;
    WebViewBridge& bridge_;
    QPointer<QWebEngineView> web_;
    Debouncer* cancellable_ = nullptr;  // the text subscription; a child, dies with us
    bool isUpdatingFromJS_ = false;
    QString lastHTMLFromJS_;
    quint64 sentGeneration_ = 0;       // the generation the page was last given
    std::optional<QString> sentText_;  // and its text, until the page has reported on it
    bool pageLoaded_ = false;
    // The page's last text report: a merge made on it can go to the page as edits.
    struct PageReport {
        QString text;
        quint64 id = 0;
    };
    std::optional<PageReport> pageReport_;
    // Notices that came before the page could show them (a file that would not open at
    // start-up): shown once it has loaded.
    QStringList heldNotices_;
};

}  // namespace flintly
