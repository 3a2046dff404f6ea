#pragma once

#include <QPointer>
#include <QWebEnginePage>

namespace flintly {

class Coordinator;

// The editor's page: hands navigation and new-window decisions to the coordinator, so
// that a link never replaces the editor and no second window ever opens.
class EditorWebPage : public QWebEnginePage {
    Q_OBJECT
public:
    EditorWebPage(Coordinator* coordinator, QObject* parent);

    Coordinator* coordinator() const { return coordinator_.data(); }

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage* createWindow(WebWindowType type) override;

private:
    QPointer<Coordinator> coordinator_;
};

}  // namespace flintly
