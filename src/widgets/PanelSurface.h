#pragma once

#include <QObject>
#include <QPainterPath>
#include <QPointer>
#include <QRect>
#include <QSize>

class QWidget;

namespace flintly {

class CompositorWatcher;

// How a rounded panel window meets the screen, with or without a compositor.
//
// With a compositor the window is the panel's body plus a transparent margin on every
// side that holds its shadow, and the margin takes no clicks: a click beside the panel
// reaches the window beneath it. Without one the window system shows transparent
// pixels as black, so the window is the body alone, painted opaque by its owner, with
// its corners cut off by a window shape. The surface follows the compositor when it
// starts or stops, keeping the body where it is on the screen.
class PanelSurface : public QObject {
    Q_OBJECT
public:
    PanelSurface(QWidget* window, qreal cornerRadius, int shadowMargin, CompositorWatcher& compositor);

    bool isComposited() const { return composited_; }
    // The margin the window has now: the shadow's with a compositor, none without.
    int margin() const { return composited_ ? shadowMargin_ : 0; }
    // A panel of fixed size: the window is kept at the body's size plus its margins.
    void setFixedBodySize(const QSize& body);

    // The body in the window's coordinates and on the screen, and its rounded outline.
    QRect bodyRect() const;
    QRect bodyGeometry() const;
    QPainterPath bodyPath() const;
    // Moves the window so that the body's top-left corner lands on `topLeft`.
    void moveBodyTo(const QPoint& topLeft);

signals:
    // The window took another size and shape: its owner lays out and paints anew.
    void changed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(bool composited);
    void reshape();

    QPointer<QWidget> window_;
    qreal cornerRadius_;
    int shadowMargin_;
    bool composited_;
    QSize fixedBody_;
};

}  // namespace flintly
