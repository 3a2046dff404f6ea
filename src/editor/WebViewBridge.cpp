#include "editor/WebViewBridge.h"

#include "editor/ScriptText.h"

#include <QWebEnginePage>

namespace flintly {

WebViewBridge::WebViewBridge(QObject* parent)
    : QObject(parent)
{
}

WebViewBridge& WebViewBridge::shared()
{
    // Kept for the life of the process, like the model that points at it.
    static auto* instance = new WebViewBridge;
    return *instance;
}

void WebViewBridge::setWebView(QWebEngineView* view) { webView_ = view; }

void WebViewBridge::appendMarkdown(const QString& piece)
{
    if (!webView_)
        return;
    webView_->page()->runJavaScript(ScriptText::appendMarkdown(piece));
}

void WebViewBridge::announceWebViewCreated(QWebEngineView* view) { emit webViewCreated(view); }

}  // namespace flintly
