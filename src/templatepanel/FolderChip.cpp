#include "templatepanel/FolderChip.h"

#include "widgets/FocusRing.h"
#include "widgets/PanelPalette.h"
#include "widgets/SymbolIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPath>

namespace flintly {

namespace {
constexpr int kHorizontalPadding = 10;
constexpr int kVerticalPadding = 5;
constexpr int kRemoveSize = 12;  // a 10-point symbol with a little room to hit it

QFont captionFont(const QFont& base)
{
    QFont f = base;
    f.setPixelSize(11);
    return f;
}

QString folderName(const QUrl& url)
{
    const QString path = QDir::cleanPath(url.toLocalFile());
    const QString name = QFileInfo(path).fileName();
    return name.isEmpty() ? path : name;
}

class RemoveButton final : public QAbstractButton {
public:
    explicit RemoveButton(QWidget* parent) : QAbstractButton(parent)
    {
        setFixedSize(kRemoveSize, kRemoveSize);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
        setAccessibleName(QStringLiteral("Remove"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        QColor color = palette().color(QPalette::WindowText);
        color.setAlphaF(isDown() ? 0.9f : 0.7f);
        p.drawPixmap(QPointF(1, 1),
                     symbolPixmap(QStringLiteral("xmark.circle.fill"), color, QSize(10, 10), devicePixelRatioF()));
    }
};
}  // namespace

FolderChip::FolderChip(const QUrl& url, bool selected, std::function<void()> tap, std::function<void()> remove,
                       QWidget* parent)
    : QAbstractButton(parent), url_(url), selected_(selected)
{
    setText(folderName(url));
    setToolTip(QDir::cleanPath(url.toLocalFile()));
    setAccessibleName(text());
    setAccessibleDescription(QStringLiteral("Delete removes the folders from the panel"));
    setFont(captionFont(font()));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setAttribute(Qt::WA_Hover);
    connect(this, &QAbstractButton::clicked, this, [tap = std::move(tap)] {
        if (tap)
            tap();
    });
    removeButton_ = new RemoveButton(this);
    removeButton_->hide();
    connect(removeButton_, &QAbstractButton::clicked, this, [this] {
        if (remove_)
            remove_();
    });
    remove_ = std::move(remove);
}

void FolderChip::keyPressEvent(QKeyEvent* event)
{
    // The remove button shows only under the pointer; the keyboard's way to it.
    if ((event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace) && remove_) {
        remove_();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

QSize FolderChip::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text()) + 2 * kHorizontalPadding, fm.height() + 2 * kVerticalPadding};
}

void FolderChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    QColor fill = selected_ ? palette().color(QPalette::Highlight) : palette().color(QPalette::WindowText);
    fill.setAlphaF(selected_ ? 0.18f : 0.08f);
    const QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const qreal radius = bounds.height() / 2;
    QPainterPath shape;
    shape.addRoundedRect(bounds, radius, radius);
    p.fillPath(shape, fill);
    p.setPen(QPen(chipBorderColor(palette()), 1));
    p.drawPath(shape);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(rect().adjusted(kHorizontalPadding, 0, -kHorizontalPadding, 0), Qt::AlignCenter, text());
    drawFocusRing(p, *this, QRectF(rect()), radius);
}

void FolderChip::setHovering(bool hovering)
{
    hovering_ = hovering;
    removeButton_->setVisible(hovering);
}

void FolderChip::enterEvent(QEnterEvent* event)
{
    setHovering(true);
    QAbstractButton::enterEvent(event);
}

void FolderChip::leaveEvent(QEvent* event)
{
    setHovering(false);
    QAbstractButton::leaveEvent(event);
}

void FolderChip::resizeEvent(QResizeEvent* event)
{
    QAbstractButton::resizeEvent(event);
    removeButton_->move(width() - kRemoveSize, 0);
}

}  // namespace flintly
