#pragma once

#include <QPointer>
#include <QWebEnginePage>

namespace flintly {

class EditorPageDelegate;

// The editor's page: hands navigation and new-window decisions to its delegate (the
// coordinator), so that a link never replaces the editor and no second window ever opens.
class EditorWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    EditorWebPage(EditorPageDelegate* delegate, QObject* parent);

    EditorPageDelegate* delegate() const { return delegate_.data(); }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    QPointer<EditorPageDelegate> delegate_;
};

}  // namespace flintly
