#include "editor/EditorWebPage.h"

#include "editor/EditorPageDelegate.h"

#include <QWebEngineNewWindowRequest>

#include <optional>

namespace flintly {

EditorWebPage::EditorWebPage(EditorPageDelegate* delegate, QObject* parent)
    : QWebEnginePage(parent), delegate_(delegate)
{
    // The engine tells the target only through this request; createWindow() below never
    // learns it. Leaving the request unadopted is what keeps the window from opening.
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        if (!delegate_)
            return;
        const QUrl url = request.requestedUrl();
        const bool hasUrl = !url.isEmpty() && url != QUrl(QStringLiteral("about:blank"));
        delegate_->divertNewWindow(hasUrl ? std::optional<QUrl>(url) : std::nullopt);
    });
}

bool EditorWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (!delegate_)
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    return delegate_->decidePolicyForNavigation(url, type);
}

QWebEnginePage* EditorWebPage::createWindow(WebWindowType) { return nullptr; }

}  // namespace flintly
