#include "editor/EditorWebPage.h"

#include "editor/Coordinator.h"

#include <QWebEngineNewWindowRequest>

#include <optional>

namespace flintly {

EditorWebPage::EditorWebPage(Coordinator* coordinator, QObject* parent)
    : QWebEnginePage(parent), coordinator_(coordinator)
{
    // The engine tells the target only through this request; createWindow() below never
    // learns it. Leaving the request unadopted is what keeps the window from opening.
    connect(this, &QWebEnginePage::newWindowRequested, this, [this](QWebEngineNewWindowRequest& request) {
        if (!coordinator_)
            return;
        const QUrl url = request.requestedUrl();
        const bool hasUrl = !url.isEmpty() && url != QUrl(QStringLiteral("about:blank"));
        coordinator_->divertNewWindow(hasUrl ? std::optional<QUrl>(url) : std::nullopt);
    });
}

bool EditorWebPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame)
{
    if (!coordinator_)
        return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    return coordinator_->decidePolicyForNavigation(url, type);
}

QWebEnginePage* EditorWebPage::createWindow(WebWindowType) { return nullptr; }

}  // namespace flintly
