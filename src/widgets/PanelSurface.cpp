#include "widgets/PanelSurface.h"

#include "widgets/CompositorWatcher.h"
#include "widgets/InputShape.h"

#include <QEvent>
#include <QWidget>

namespace flintly {

namespace {
QRegion regionOf(const QPainterPath& path) { return QRegion(path.toFillPolygon().toPolygon()); }
}  // namespace

PanelSurface::PanelSurface(QWidget* window, qreal cornerRadius, int shadowMargin, CompositorWatcher& compositor)
    : QObject(window), window_(window), cornerRadius_(cornerRadius), shadowMargin_(shadowMargin),
      composited_(compositor.isCompositing())
{
    window->installEventFilter(this);
    connect(&compositor, &CompositorWatcher::compositingChanged, this, &PanelSurface::follow);
    reshape();
}

void PanelSurface::setFixedBodySize(const QSize& body)
{
    fixedBody_ = body;
    window_->setFixedSize(body + QSize(2 * margin(), 2 * margin()));
    reshape();
}

QRect PanelSurface::bodyRect() const
{
    const int m = margin();
    return window_->rect().adjusted(m, m, -m, -m);
}

QRect PanelSurface::bodyGeometry() const { return bodyRect().translated(window_->geometry().topLeft()); }

QPainterPath PanelSurface::bodyPath() const
{
    QPainterPath path;
    path.addRoundedRect(QRectF(bodyRect()), cornerRadius_, cornerRadius_);
    return path;
}

void PanelSurface::moveBodyTo(const QPoint& topLeft) { window_->move(topLeft - QPoint(margin(), margin())); }

void PanelSurface::follow(bool composited)
{
    if (composited == composited_ || !window_)
        return;
    const QRect body = bodyGeometry();
    composited_ = composited;
    if (fixedBody_.isValid())
        window_->setFixedSize(fixedBody_ + QSize(2 * margin(), 2 * margin()));
    moveBodyTo(body.topLeft());
    reshape();
    window_->update();
    emit changed();
}

void PanelSurface::reshape()
{
    if (!window_)
        return;
    if (composited_) {
        window_->clearMask();
        setInputRegion(window_, regionOf(bodyPath()));
    } else {
        window_->setMask(regionOf(bodyPath()));
        setInputRegion(window_, {});
    }
}

bool PanelSurface::eventFilter(QObject* watched, QEvent* event)
{
    // A new native window (Qt recreates one now and then) starts without our shapes.
    if (watched == window_ && (event->type() == QEvent::Resize || event->type() == QEvent::WinIdChange))
        reshape();
    return QObject::eventFilter(watched, event);
}

}  // namespace flintly
