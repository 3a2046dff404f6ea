#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace flintly {

class SearchPanelWindow;

// Keeps the search panel with the window it was summoned from: centred on it, its
// body's top just under the anchor's toolbar, a transient child of it for the window
// manager, and hidden the moment the anchor goes.
class PanelAnchor : public QObject {
public:
    static constexpr int kBelowAnchorTop = 40;

    explicit PanelAnchor(SearchPanelWindow* panel) : panel_(panel) {}

    QWidget* anchor() const { return anchor_; }
    // Follows `anchor` (a window) from now on, leaving the one followed before.
    void attach(QWidget* anchor);
    void detach();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void place();

    SearchPanelWindow* panel_;
    QPointer<QWidget> anchor_;
};

}  // namespace flintly
