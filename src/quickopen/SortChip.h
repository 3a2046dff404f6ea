#pragma once

#include "browser/SortMode.h"

#include <QAbstractButton>
#include <QPointer>

class QMenu;

namespace flintly {

class Workspace;

// The sort order chip at the end of the search row: shows the current mode and opens
// a menu of the eight modes, the current one checked.
class SortChip : public QAbstractButton {
    Q_OBJECT
public:
    static constexpr int kWidth = 80;

    explicit SortChip(Workspace* workspace, QWidget* parent = nullptr);

    QSize sizeHint() const override { return {kWidth, 24}; }
    QMenu* menu() const { return menu_; }
    void popUpMenu();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void refresh();

    QPointer<Workspace> workspace_;
    QMenu* menu_ = nullptr;
    bool hovered_ = false;  // hoverSort
};

}  // namespace flintly
