#include "editor/WebViewBridge.h"

#include "editor/EditorPageDelegate.h"
#include "editor/EditorWebPage.h"
#include "editor/ScriptText.h"

#include <QWebEnginePage>

namespace flintly {

WebViewBridge::WebViewBridge(QObject* parent) : QObject(parent) {}

WebViewBridge& WebViewBridge::shared()
{
    // Kept for the life of the process, like the model that points at it.
    static auto* instance = new WebViewBridge;
    return *instance;
}

void WebViewBridge::setWebView(QWebEngineView* view) { webView_ = view; }

void WebViewBridge::appendBlock(const QString& markdown, std::optional<qsizetype> caret)
{
    if (!webView_)
        return;
    webView_->page()->runJavaScript(ScriptText::appendBlock(markdown, caret));
}

void WebViewBridge::replaceAll(const QString& text)
{
    if (!webView_)
        return;
    webView_->page()->runJavaScript(ScriptText::replaceAll(text));
}

void WebViewBridge::revealRange(quint64 generation, qsizetype line, qsizetype column, qsizetype length)
{
    if (webView_)
        webView_->page()->runJavaScript(ScriptText::revealRange(generation, line, column, length));
}

bool WebViewBridge::pullLatestText(int timeoutMs)
{
    if (!webView_)
        return false;
    auto* page = qobject_cast<EditorWebPage*>(webView_->page());
    EditorPageDelegate* delegate = page ? page->delegate() : nullptr;
    return delegate && delegate->pullLatestText(timeoutMs);
}

void WebViewBridge::announceWebViewCreated(QWebEngineView* view) { emit webViewCreated(view); }

}  // namespace flintly
