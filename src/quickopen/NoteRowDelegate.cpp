#include "quickopen/NoteRowDelegate.h"

#include "browser/NoteListModel.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

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
    const QFontMetrics nameMetrics(nameFont);
    QColor secondary = option.palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.6);
    if (index.data(NoteListModel::IsCreateRole).toBool()) {
        painter->setFont(nameFont);
        painter->setPen(option.palette.color(QPalette::WindowText));
        painter->drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
                          nameMetrics.elidedText(index.data().toString(), Qt::ElideRight, qRound(text.width())));
        painter->restore();
        return;
    }
    // The name, and after it the folder it is in, dimmed, when not at the top.
    const QString folder = index.data(NoteListModel::FolderRole).toString();
    QString name = index.data(Qt::DisplayRole).toString();
    const QRectF nameLine(text.left(), text.top(), text.width(), nameMetrics.height());
    QFont folderFont = option.font;
    folderFont.setPixelSize(11);
    const QFontMetrics folderMetrics(folderFont);
    const int folderRoom =
        folder.isEmpty() ? 0 : std::min(folderMetrics.horizontalAdvance(folder) + 8, qRound(text.width() / 2));
    name = nameMetrics.elidedText(name, Qt::ElideRight, qRound(text.width()) - folderRoom);
    painter->setFont(nameFont);
    painter->setPen(option.palette.color(QPalette::WindowText));
    painter->drawText(nameLine, Qt::AlignLeft | Qt::AlignVCenter, name);
    if (!folder.isEmpty()) {
        QColor dim = option.palette.color(QPalette::WindowText);
        dim.setAlphaF(0.45);
        painter->setFont(folderFont);
        painter->setPen(dim);
        const qreal x = text.left() + nameMetrics.horizontalAdvance(name) + 8;
        painter->drawText(QRectF(x, nameLine.top(), text.right() - x, nameLine.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          folderMetrics.elidedText(folder, Qt::ElideLeft, qRound(text.right() - x)));
    }

    QFont captionFont = option.font;
    captionFont.setPixelSize(11);
    const QFontMetrics captionMetrics(captionFont);
    const QRectF captionLine(text.left(), text.bottom() - captionMetrics.height(), text.width(),
                             captionMetrics.height());
    const QVariant snippet = index.data(NoteListModel::SnippetRole);
    if (snippet.isValid()) {
        paintSnippet(painter, captionLine, captionFont, secondary, option.palette.color(QPalette::WindowText),
                     snippet.toString(), index.data(NoteListModel::EmphasisRole).value<QList<QPoint>>());
    } else {
        painter->setFont(captionFont);
        painter->setPen(secondary);
        painter->drawText(captionLine, Qt::AlignLeft | Qt::AlignVCenter,
                          index.data(NoteListModel::DetailRole).toString());
    }
    painter->restore();
}

// The matching line in the caption's size, the matches in the full text colour and bold.
void NoteRowDelegate::paintSnippet(QPainter* painter, const QRectF& line, const QFont& font, const QColor& dim,
                                   const QColor& strong, const QString& text, const QList<QPoint>& emphasis)
{
    QTextLayout layout(text, font);
    QList<QTextLayout::FormatRange> formats;
    for (const QPoint& range : emphasis) {
        QTextLayout::FormatRange f;
        f.start = range.x();
        f.length = range.y();
        f.format.setFontWeight(QFont::DemiBold);
        f.format.setForeground(strong);
        formats.append(f);
    }
    layout.setFormats(formats);
    layout.beginLayout();
    QTextLine l = layout.createLine();
    if (l.isValid())
        l.setLineWidth(1e6);  // one line; what does not fit is clipped
    layout.endLayout();
    if (!l.isValid())
        return;
    painter->save();
    painter->setClipRect(line);
    painter->setPen(dim);
    layout.draw(painter, QPointF(line.left(), line.top() + (line.height() - l.height()) / 2));
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
