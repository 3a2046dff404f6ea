#pragma once

#include <QWidget>

namespace flintly {

// A thin strip along a frameless window's edge that resizes the window: through the
// window manager where it offers that, else by following the pointer ourselves.
class EdgeGrip : public QWidget {
    Q_OBJECT
public:
    EdgeGrip(Qt::Edge edge, QWidget* window);

    static constexpr int kThickness = 5;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    Qt::Edge edge_;
    QPoint pressGlobal_;
    QRect startGeometry_;
    bool manual_ = false;
};

}  // namespace flintly
