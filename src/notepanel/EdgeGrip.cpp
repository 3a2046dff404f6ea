#include "notepanel/EdgeGrip.h"

#include <QMouseEvent>
#include <QWindow>

namespace flintly {

EdgeGrip::EdgeGrip(Qt::Edge edge, QWidget* window) : QWidget(window), edge_(edge)
{
    setCursor(edge == Qt::TopEdge || edge == Qt::BottomEdge ? Qt::SizeVerCursor : Qt::SizeHorCursor);
    setAttribute(Qt::WA_NoSystemBackground);
}

void EdgeGrip::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QWidget* w = window();
    manual_ = !(w->windowHandle() && w->windowHandle()->startSystemResize(edge_));
    pressGlobal_ = event->globalPosition().toPoint();
    startGeometry_ = w->geometry();
}

void EdgeGrip::mouseMoveEvent(QMouseEvent* event)
{
    if (!manual_ || !(event->buttons() & Qt::LeftButton))
        return;
    const int dy = event->globalPosition().toPoint().y() - pressGlobal_.y();
    QRect g = startGeometry_;
    if (edge_ == Qt::BottomEdge)
        g.setHeight(g.height() + dy);
    else if (edge_ == Qt::TopEdge)
        g.setTop(g.top() + dy);
    QWidget* w = window();
    g.setHeight(qBound(w->minimumHeight(), g.height(), w->maximumHeight()));
    w->setGeometry(g);
}

void EdgeGrip::mouseReleaseEvent(QMouseEvent*) { manual_ = false; }

}  // namespace flintly
