#include "quickopen/PanelAnchor.h"

#include "quickopen/SearchPanelWindow.h"

#include <QEvent>
#include <QWindow>

namespace flintly {

void PanelAnchor::attach(QWidget* anchor)
{
    if (anchor_ && anchor_ != anchor)
        detach();
    anchor_ = anchor;
    anchor->installEventFilter(this);
    place();
    // A transient child: the window manager keeps it above the anchor and with it.
    panel_->winId();
    anchor->winId();
    if (QWindow* handle = panel_->windowHandle())
        handle->setTransientParent(anchor->windowHandle());
}

void PanelAnchor::detach()
{
    if (!anchor_)
        return;
    anchor_->removeEventFilter(this);
    if (QWindow* handle = panel_->windowHandle())
        handle->setTransientParent(nullptr);
    anchor_ = nullptr;
}

// Centred on the anchor, the body's top 40 below the anchor's top: over the note,
// just under its toolbar.
void PanelAnchor::place()
{
    if (!anchor_)
        return;
    const QRect a = anchor_->frameGeometry();
    panel_->moveBodyTo(QPoint(a.x() + a.width() / 2 - SearchPanelWindow::kBodySize / 2, a.y() + kBelowAnchorTop));
}

bool PanelAnchor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == anchor_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize: place(); break;
        case QEvent::Hide:
            // The note went away (Ctrl+J, or quitting): its search goes with it, at
            // once, or it would stand alone on the screen and hold up quitting.
            panel_->hide();
            break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace flintly
