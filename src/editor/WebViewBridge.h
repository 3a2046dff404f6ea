#pragma once

#include "document/EditorBridge.h"

#include <QObject>
#include <QPointer>
#include <QWebEngineView>

namespace flintly {

class UpdateController;

// The one way other code reaches the editor's web view: the note model appends
// template text and puts earlier versions back through it, the app learns the view exists through it, and the page's
// update requests reach the app's updater through it. It only ever holds the view
// weakly; the note view owns it.
class WebViewBridge : public QObject, public EditorBridge {
    Q_OBJECT
public:
    explicit WebViewBridge(QObject* parent = nullptr);

    static WebViewBridge& shared();

    QWebEngineView* webView() const { return webView_.data(); }
    void setWebView(QWebEngineView* view);

    // Appends the block in the page; does nothing once the view is gone.
    void appendBlock(const QString& markdown, std::optional<qsizetype> caret) override;
    // Turns the page's text into `text` as one undoable edit.
    void replaceAll(const QString& text) override;
    void revealRange(quint64 generation, qsizetype line, qsizetype column, qsizetype length) override;

    // Before quitting: the page's text as it is now goes into the model, whether or not
    // the page has reported it yet. Waits at most `timeoutMs`; false when there was no
    // page or it did not answer in time.
    bool pullLatestText(int timeoutMs);

    // Not owned. The app sets it once its updater exists and clears it before
    // destroying the updater.
    void setUpdateController(UpdateController* controller) { updateController_ = controller; }
    UpdateController* updateController() const { return updateController_; }

    // Announces a freshly created editor web view, so the application delegate can keep
    // its own weak reference (for the first theme synchronisation).
    void announceWebViewCreated(QWebEngineView* view);

signals:
    void webViewCreated(QWebEngineView* view);

private:
    QPointer<QWebEngineView> webView_;
    UpdateController* updateController_ = nullptr;
};

}  // namespace flintly
