#include "notepanel/FloatingPanelWindow.h"

#include "notepanel/EdgeGrip.h"
#include "widgets/PanelSurface.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

namespace flintly {

FloatingPanelWindow::FloatingPanelWindow(CompositorWatcher& compositor)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Flintly"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    // The note view fixes the width; only the height follows the user.
    setFixedWidth(kWidth);
    setMinimumHeight(390);
    resize(kWidth, kHeight);
    bottomGrip_ = new EdgeGrip(Qt::BottomEdge, this);
    // No margin: the note casts no shadow of its own, the window manager may add one.
    surface_ = new PanelSurface(this, kCornerRadius, 0, compositor);
}

void FloatingPanelWindow::paintEvent(QPaintEvent*)
{
    // The content's material lets the desktop through; without a compositor it would
    // let black through instead, so it gets an opaque ground of its own colour.
    if (!surface_->isComposited())
        QPainter(this).fillRect(rect(), palette().color(QPalette::Window));
}

void FloatingPanelWindow::setContent(QWidget* content)
{
    content_ = content;
    content_->setParent(this);
    content_->show();
    layoutChildren();
}

void FloatingPanelWindow::setToolbar(QWidget* toolbar)
{
    toolbar_ = toolbar;
    toolbar_->setParent(this);
    toolbar_->show();
    layoutChildren();
}

void FloatingPanelWindow::layoutChildren()
{
    if (content_)
        content_->setGeometry(rect());
    if (toolbar_) {
        toolbar_->setGeometry(0, 0, width(), kToolbarHeight);
        toolbar_->raise();
    }
    bottomGrip_->setGeometry(0, height() - EdgeGrip::kThickness, width(), EdgeGrip::kThickness);
    bottomGrip_->raise();
}

void FloatingPanelWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    layoutChildren();
}

void FloatingPanelWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    hide();
}

void FloatingPanelWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    emit shownChanged(true);
}

void FloatingPanelWindow::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    emit shownChanged(false);
}

ToolbarRow::ToolbarRow(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_NoSystemBackground); }

void ToolbarRow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    QWindow* handle = window()->windowHandle();
    manual_ = !(handle && handle->startSystemMove());
    pressOffset_ = event->globalPosition().toPoint() - window()->pos();
}

void ToolbarRow::mouseMoveEvent(QMouseEvent* event)
{
    if (manual_ && (event->buttons() & Qt::LeftButton))
        window()->move(event->globalPosition().toPoint() - pressOffset_);
}

void ToolbarRow::mouseReleaseEvent(QMouseEvent*) { manual_ = false; }

}  // namespace flintly
