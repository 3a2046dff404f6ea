#pragma once

#include <QObject>
#include <QUrl>
#include <QWebEnginePage>

#include <optional>

namespace flintly {

// What the editor's page and the bridge ask of whoever runs the page protocol: where
// the page may go, what becomes of its new windows, and its latest text before
// quitting. The coordinator is the one implementation; the page and the bridge know
// only this, so neither reaches up into the coordinator. A QObject so that the page
// can hold it weakly.
class EditorPageDelegate : public QObject {
public:
    using QObject::QObject;

    // Whether the page may navigate itself; web links go to the browser instead.
    virtual bool decidePolicyForNavigation(const QUrl& url, QWebEnginePage::NavigationType type) = 0;
    // A blank-target link or window.open(): diverted to the browser, never a window.
    virtual void divertNewWindow(const std::optional<QUrl>& url) = 0;
    // Takes the page's text as it is now into the model, waiting at most `timeoutMs`.
    // Returns whether the page answered.
    virtual bool pullLatestText(int timeoutMs) = 0;
};

}  // namespace flintly
