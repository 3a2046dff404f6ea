#include "panels/NoteRowDelegate.h"

#include "browser/NoteListModel.h"

#include <QPainter>
#include <QPainterPath>

namespace flintly {

QColor NoteRowDelegate::background(const QPalette& palette, bool selected, bool hovered)
{
    QColor c = selected || hovered ? palette.color(QPalette::Highlight) : QColor(Qt::black);
    c.setAlphaF(selected ? kSelectedAlpha : hovered ? kHoveredAlpha : kRestingAlpha);
    return c;
}

QSize NoteRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return {option.rect.width() > 0 ? option.rect.width() : 300, kRowHeight};
}

void NoteRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (index.data(NoteListModel::IsProgressRole).toBool()) {
        paintProgress(painter, option);
        painter->restore();
        return;
    }
    const bool selected = option.state & QStyle::State_Selected;
    const bool hovered = index == hovered_;
    const QRectF bounds = QRectF(option.rect).adjusted(4, 1, -4, -1);
    QPainterPath shape;
    shape.addRoundedRect(bounds, 6, 6);
    painter->fillPath(shape, background(option.palette, selected, hovered));

    const QRectF text = bounds.adjusted(10, 5, -10, -5);
    QFont nameFont = option.font;
    nameFont.setPixelSize(13);
    painter->setFont(nameFont);
    painter->setPen(option.palette.color(QPalette::WindowText));
    const QFontMetrics nameMetrics(nameFont);
    const QString name =
        nameMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, qRound(text.width()));
    painter->drawText(QRectF(text.left(), text.top(), text.width(), nameMetrics.height()),
                      Qt::AlignLeft | Qt::AlignVCenter, name);

    QFont captionFont = option.font;
    captionFont.setPixelSize(11);
    painter->setFont(captionFont);
    QColor secondary = option.palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.6);
    painter->setPen(secondary);
    const QFontMetrics captionMetrics(captionFont);
    painter->drawText(
        QRectF(text.left(), text.bottom() - captionMetrics.height(), text.width(), captionMetrics.height()),
        Qt::AlignLeft | Qt::AlignVCenter, index.data(NoteListModel::DetailRole).toString());
    painter->restore();
}

void NoteRowDelegate::paintProgress(QPainter* painter, const QStyleOptionViewItem& option) const
{
    const QRectF row = QRectF(option.rect).adjusted(14, 0, -14, 0);
    QColor secondary = option.palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.6);
    // A small, still indicator: an open ring.
    const QRectF ring(row.left(), row.center().y() - 6, 12, 12);
    painter->setPen(QPen(secondary, 1.6, Qt::SolidLine, Qt::RoundCap));
    painter->drawArc(ring, 90 * 16, -270 * 16);
    QFont font = option.font;
    font.setPixelSize(12);
    painter->setFont(font);
    painter->drawText(row.adjusted(20, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Scanning files..."));
}

}  // namespace flintly
