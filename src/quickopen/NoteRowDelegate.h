#pragma once

#include <QPersistentModelIndex>
#include <QStyledItemDelegate>

namespace flintly {

// Paints one row of the quick-open list: the note's name (with its folder, dimmed,
// when below the top) over its date and size, or over the line that matched for a
// note found by its text; on the accent colour while selected, faintly while under
// the pointer. The progress row
// shows an indicator and "Scanning files...". All rows have one height, so the list
// lays out a hundred thousand of them without asking each.
class NoteRowDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 42;
    static constexpr qreal kSelectedAlpha = 0.18;
    static constexpr qreal kHoveredAlpha = 0.08;
    static constexpr qreal kRestingAlpha = 0.01;

    using QStyledItemDelegate::QStyledItemDelegate;

    void setHovered(const QModelIndex& index) { hovered_ = index; }
    QModelIndex hovered() const { return hovered_; }

    // The row's background: accent at 0.18 selected, at 0.08 hovered, else black at 0.01
    // (never fully clear, so the whole row takes the pointer).
    static QColor background(const QPalette& palette, bool selected, bool hovered);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    void paintProgress(QPainter* painter, const QStyleOptionViewItem& option) const;
    static void paintSnippet(QPainter* painter, const QRectF& line, const QFont& font, const QColor& dim,
                             const QColor& strong, const QString& text, const QList<QPoint>& emphasis);

    QPersistentModelIndex hovered_;
};

}  // namespace flintly
