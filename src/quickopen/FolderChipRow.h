#pragma once

#include <QList>
#include <QPointer>
#include <QRect>
#include <QScrollArea>
#include <QUrl>
#include <QWidget>

namespace flintly {

class Workspace;

// The pinned folders as chips, then the add button, painted by one widget (there are
// only a few, but rebuilding a widget per chip mid-drag would pull the drag's source
// out from under it). A tap browses the folder, the small cross on a hovered chip
// unpins it (not on the notes folder's chip while it is kept first), and chips are
// reordered by dragging one onto another. For the keyboard the row is one tab stop:
// Left and Right move between the chips and the add button, Return or Space presses
// the one with the focus ring, Delete unpins it; its accessible name says which it is.
class FolderChipRow : public QWidget {
    Q_OBJECT
public:
    static constexpr int kSpacing = 8;
    static constexpr int kChipHeight = 24;
    static constexpr int kVerticalPadding = 6;
    static constexpr int kHorizontalPadding = 2;

    explicit FolderChipRow(Workspace* workspace, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    int chipCount() const { return static_cast<int>(chips_.size()); }
    QRect chipRect(int chip) const { return chips_.value(chip); }
    // The remove button of a chip, shown while the pointer is over a removable chip.
    QRect removeRect(int chip) const;
    QRect addRect() const { return addRect_; }
    int hoveredChip() const { return hovered_; }
    bool isHoveringAdd() const { return hoverAdd_; }
    bool showsRemoveButton(int chip) const;
    // The chip the keyboard is on; chipCount() stands for the add button.
    int keyboardChip() const { return keyboardChip_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setKeyboardChip(int chip);
    void describeKeyboardChip();
    void relayout();
    int chipAt(const QPoint& pos) const;
    void setHover(int chip, bool add);
    void startDrag(int chip);

    QPointer<Workspace> workspace_;
    QList<QRect> chips_;
    QRect addRect_;
    int hovered_ = -1;
    int keyboardChip_ = 0;
    bool hoverAdd_ = false;
    int pressed_ = -1;
    bool pressedAdd_ = false;
    QPoint pressPos_;
    QUrl lastEntered_;  // the chip the drag entered last, so moving within it does nothing
};

// Scrolls the chip row sideways, with the wheel too, and shows no scroll bars.
class ChipScroller : public QScrollArea {
    Q_OBJECT
public:
    explicit ChipScroller(QWidget* row, QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
};

}  // namespace flintly
