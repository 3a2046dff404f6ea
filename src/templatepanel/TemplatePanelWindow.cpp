#include "templatepanel/TemplatePanelWindow.h"

#include "platform/NotificationCenter.h"
#include "widgets/PanelPalette.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWindow>

namespace flintly {

TemplatePanelWindow::TemplatePanelWindow(CompositorWatcher& compositor)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setWindowTitle(QStringLiteral("Templates"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    surface_ = new PanelSurface(this, kCornerRadius, kMargin, compositor);
    surface_->setFixedBodySize(QSize(kWidth, kHeight));
    connect(surface_, &PanelSurface::changed, this, &TemplatePanelWindow::layOut);
    // Key events reach the native window before any widget: the place to see a Down
    // arrow whichever widget has the focus.
    create();
    windowHandle()->installEventFilter(this);
}

void TemplatePanelWindow::setContent(QWidget* content)
{
    content_ = content;
    content_->setParent(this);
    layOut();
    content_->show();
}

void TemplatePanelWindow::layOut()
{
    if (content_)
        content_->setGeometry(contentRect());
}

QColor TemplatePanelWindow::materialColor() const
{
    return isDarkPalette(palette()) ? panelBackgroundColor(palette()) : QColor(Qt::white);
}

void TemplatePanelWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!surface_->isComposited()) {
        // Every pixel, the cut-off corners too: what the shape leaves on screen is opaque.
        p.fillRect(rect(), materialColor());
        return;
    }
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF content = contentRect();
    // The shadow: rings of falling alpha around the content, one per point of radius,
    // a point lower than the content as light from above would cast it.
    p.setPen(Qt::NoPen);
    for (int i = kShadowRadius; i >= 1; --i) {
        const qreal fade = 1.0 - qreal(i) / (kShadowRadius + 1);
        QColor shade(0, 0, 0);
        shade.setAlphaF(float(kShadowOpacity * fade * fade / 2));
        QPainterPath ring;
        ring.addRoundedRect(content.adjusted(-i, -i + kShadowOffsetY, i, i + kShadowOffsetY), kCornerRadius + i,
                            kCornerRadius + i);
        p.fillPath(ring, shade);
    }
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.fillPath(surface_->bodyPath(), materialColor());
}

void TemplatePanelWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    emit closeRequested();
}

bool TemplatePanelWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == windowHandle() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Down && key->modifiers() == Qt::NoModifier) {
            NotificationCenter::defaultCenter().post(QLatin1String(kNavigateDown));
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace flintly
