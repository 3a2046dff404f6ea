#include "quickopen/FolderChipRow.h"

#include "browser/Workspace.h"
#include "quickopen/BrowserGlyphs.h"
#include "widgets/FocusRing.h"

#include <QApplication>
#include <QDrag>
#include <QFileInfo>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QToolTip>

namespace flintly {

namespace {
constexpr int kGlyph = 12;
constexpr int kInnerH = 10;

QFont chipFont(const QFont& base)
{
    QFont f = base;
    f.setPixelSize(11);
    return f;
}

QColor withAlpha(QColor c, qreal alpha)
{
    c.setAlphaF(alpha);
    return c;
}

QString chipTitle(const QUrl& folder) { return QFileInfo(folder.toLocalFile()).fileName(); }
}  // namespace

FolderChipRow::FolderChipRow(Workspace* workspace, QWidget* parent) : QWidget(parent), workspace_(workspace)
{
    setMouseTracking(true);
    setAcceptDrops(true);
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::TabFocus);
    setAccessibleDescription(
        QStringLiteral("Left and Right choose a folder, Return browses it, Delete removes it from Favorites"));
    connect(workspace_, &Workspace::pinnedChanged, this, &FolderChipRow::relayout);
    connect(workspace_, &Workspace::vaultURLChanged, this, qOverload<>(&QWidget::update));
    connect(workspace_, &Workspace::showDefaultFolderChanged, this, qOverload<>(&QWidget::update));
    relayout();
}

void FolderChipRow::relayout()
{
    chips_.clear();
    const QFontMetrics fm(chipFont(font()));
    int x = kHorizontalPadding;
    if (workspace_) {
        for (const QUrl& folder : workspace_->pinned()) {
            const int w = kInnerH + kGlyph + 4 + fm.horizontalAdvance(chipTitle(folder)) + kInnerH;
            chips_.append(QRect(x, kVerticalPadding, w, kChipHeight));
            x += w + kSpacing;
        }
    }
    addRect_ = QRect(x, kVerticalPadding, kInnerH + kGlyph + kInnerH, kChipHeight);
    if (hovered_ >= chips_.size())
        hovered_ = -1;
    keyboardChip_ = std::min(keyboardChip_, int(chips_.size()));
    describeKeyboardChip();
    resize(sizeHint());
    updateGeometry();
    update();
}

QSize FolderChipRow::sizeHint() const
{
    return {addRect_.right() + 1 + kHorizontalPadding, kChipHeight + 2 * kVerticalPadding};
}

QRect FolderChipRow::removeRect(int chip) const
{
    const QRect r = chips_.value(chip);
    return r.isNull() ? QRect() : QRect(r.right() - 8, r.top() - 4, 12, 12);
}

bool FolderChipRow::showsRemoveButton(int chip) const
{
    return workspace_ && chip == hovered_ && chip >= 0 && chip < workspace_->pinned().size()
        && !workspace_->isProtected(workspace_->pinned().at(chip));
}

int FolderChipRow::chipAt(const QPoint& pos) const
{
    for (int i = 0; i < chips_.size(); ++i)
        if (chips_[i].contains(pos) || (showsRemoveButton(i) && removeRect(i).contains(pos)))
            return i;
    return -1;
}

void FolderChipRow::setHover(int chip, bool add)
{
    if (chip == hovered_ && add == hoverAdd_)
        return;
    hovered_ = chip;
    hoverAdd_ = add;
    update();
}

void FolderChipRow::paintEvent(QPaintEvent*)
{
    if (!workspace_)
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setFont(chipFont(font()));
    const QColor primary = palette().color(QPalette::WindowText);
    const QColor secondary = withAlpha(primary, 0.6);
    const QColor accent = palette().color(QPalette::Highlight);
    const QList<QUrl>& pinned = workspace_->pinned();
    for (int i = 0; i < chips_.size() && i < pinned.size(); ++i) {
        const QRectF r = chips_[i];
        const bool active = pinned[i] == workspace_->vaultURL();
        QPainterPath shape;
        shape.addRoundedRect(r, 12, 12);
        p.fillPath(shape, active ? withAlpha(accent, 0.18) : withAlpha(primary, i == hovered_ ? 0.18 : 0.08));
        // A pinned folder that is not there (an unmounted drive) waits, faded, for its return.
        const QColor ink = !workspace_->isAvailable(pinned[i]) ? withAlpha(primary, 0.3) : active ? primary : secondary;
        drawBrowserGlyph(p, QStringLiteral("folder"), ink,
                         QRectF(r.left() + kInnerH, r.center().y() - kGlyph / 2.0, kGlyph, kGlyph));
        p.setPen(ink);
        p.drawText(r.adjusted(kInnerH + kGlyph + 4, 0, -kInnerH, 0), Qt::AlignLeft | Qt::AlignVCenter,
                   chipTitle(pinned[i]));
        if (showsRemoveButton(i)) {
            const QRectF x = removeRect(i);
            p.setPen(Qt::NoPen);
            p.setBrush(withAlpha(primary, 0.35));
            p.drawEllipse(x);
            drawBrowserGlyph(p, QStringLiteral("xmark"), palette().color(QPalette::Window), x.adjusted(3, 3, -3, -3));
        }
    }
    QPainterPath add;
    add.addRoundedRect(QRectF(addRect_), 12, 12);
    p.fillPath(add, withAlpha(primary, hoverAdd_ ? 0.18 : 0.08));
    drawBrowserGlyph(p, QStringLiteral("plus"), secondary,
                     QRectF(addRect_.left() + kInnerH, addRect_.center().y() - kGlyph / 2.0 + 0.5, kGlyph, kGlyph));
    drawFocusRing(p, *this, keyboardChip_ < chips_.size() ? chips_[keyboardChip_] : addRect_, 12);
}

void FolderChipRow::setKeyboardChip(int chip)
{
    keyboardChip_ = std::clamp(chip, 0, int(chips_.size()));
    describeKeyboardChip();
    // The row scrolls sideways inside its scroller: keep the ring in view.
    const QRect r = keyboardChip_ < chips_.size() ? chips_[keyboardChip_] : addRect_;
    if (auto* scroller = parentWidget() ? qobject_cast<QScrollArea*>(parentWidget()->parentWidget()) : nullptr)
        scroller->ensureVisible(r.center().x(), r.center().y(), r.width() / 2 + kSpacing, 0);
    update();
}

void FolderChipRow::describeKeyboardChip()
{
    const int count = int(chips_.size());
    const QString which = keyboardChip_ < count && workspace_ && keyboardChip_ < workspace_->pinned().size()
        ? QStringLiteral("Folder %1 (%2 of %3)")
              .arg(chipTitle(workspace_->pinned().at(keyboardChip_)))
              .arg(keyboardChip_ + 1)
              .arg(count)
        : QStringLiteral("Add folder to Favorites");
    setAccessibleName(QStringLiteral("Favorites: ") + which);
}

void FolderChipRow::keyPressEvent(QKeyEvent* event)
{
    const bool onChip = workspace_ && keyboardChip_ < chips_.size() && keyboardChip_ < workspace_->pinned().size();
    switch (event->key()) {
    case Qt::Key_Left: setKeyboardChip(keyboardChip_ - 1); return;
    case Qt::Key_Right: setKeyboardChip(keyboardChip_ + 1); return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (onChip)
            workspace_->selectPinned(workspace_->pinned().at(keyboardChip_));
        else if (workspace_)
            workspace_->addPinnedFolder();
        return;
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (onChip && !workspace_->isProtected(workspace_->pinned().at(keyboardChip_)))
            workspace_->removePinned(workspace_->pinned().at(keyboardChip_));
        return;
    default: QWidget::keyPressEvent(event);
    }
}

void FolderChipRow::focusInEvent(QFocusEvent* event)
{
    setKeyboardChip(keyboardChip_);
    QWidget::focusInEvent(event);
}

void FolderChipRow::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

bool FolderChipRow::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip && workspace_) {
        auto* help = static_cast<QHelpEvent*>(event);
        const int chip = chipAt(help->pos());
        if (chip >= 0 && chip < workspace_->pinned().size())
            QToolTip::showText(help->globalPos(),
                               workspace_->pinned().at(chip).toLocalFile()
                                   + (workspace_->isAvailable(workspace_->pinned().at(chip))
                                          ? QString()
                                          : QStringLiteral(" (not available)")),
                               this);
        else if (addRect_.contains(help->pos()))
            QToolTip::showText(help->globalPos(), QStringLiteral("Add folder to Favorites"), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void FolderChipRow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    pressPos_ = event->position().toPoint();
    pressed_ = chipAt(pressPos_);
    pressedAdd_ = pressed_ < 0 && addRect_.contains(pressPos_);
}

void FolderChipRow::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const int chip = chipAt(pos);
    setHover(chip, chip < 0 && addRect_.contains(pos));
    if (pressed_ >= 0 && (event->buttons() & Qt::LeftButton)
        && (pos - pressPos_).manhattanLength() >= QApplication::startDragDistance())
        startDrag(std::exchange(pressed_, -1));
}

void FolderChipRow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !workspace_)
        return;
    const QPoint pos = event->position().toPoint();
    const int chip = std::exchange(pressed_, -1);
    const bool add = std::exchange(pressedAdd_, false);
    if (add && addRect_.contains(pos)) {
        workspace_->addPinnedFolder();
        return;
    }
    if (chip < 0 || chip != chipAt(pos) || chip >= workspace_->pinned().size())
        return;
    const QUrl folder = workspace_->pinned().at(chip);
    if (showsRemoveButton(chip) && removeRect(chip).contains(pos))
        workspace_->removePinned(folder);
    else
        workspace_->selectPinned(folder);
}

void FolderChipRow::leaveEvent(QEvent* event)
{
    setHover(-1, false);
    QWidget::leaveEvent(event);
}

void FolderChipRow::startDrag(int chip)
{
    if (!workspace_ || chip < 0 || chip >= workspace_->pinned().size())
        return;
    const QUrl folder = workspace_->pinned().at(chip);
    workspace_->beginDrag(folder);
    auto* drag = new QDrag(this);
    auto* mime = new QMimeData;
    mime->setUrls({folder});
    drag->setMimeData(mime);
    drag->setPixmap(grab(chips_.value(chip)));
    lastEntered_ = folder;
    drag->exec(Qt::MoveAction);
    lastEntered_ = QUrl();
    // Dropped on a chip or let go elsewhere: the order the chips show is the order kept.
    if (workspace_)
        workspace_->endDrag();
}

void FolderChipRow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void FolderChipRow::dragMoveEvent(QDragMoveEvent* event)
{
    if (!event->mimeData()->hasUrls() || !workspace_)
        return;
    event->acceptProposedAction();
    const int chip = chipAt(event->position().toPoint());
    if (chip < 0 || chip >= workspace_->pinned().size() || workspace_->pinned().at(chip) == lastEntered_)
        return;
    lastEntered_ = workspace_->pinned().at(chip);
    workspace_->dragEntered(lastEntered_);
}

void FolderChipRow::dropEvent(QDropEvent* event)
{
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    if (workspace_)
        workspace_->endDrag();
}

ChipScroller::ChipScroller(QWidget* row, QWidget* parent) : QScrollArea(parent)
{
    setWidget(row);
    setWidgetResizable(false);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFixedHeight(row->sizeHint().height());
    setStyleSheet(QStringLiteral("background: transparent;"));
    viewport()->setAutoFillBackground(false);
    setFocusPolicy(Qt::NoFocus);  // the row inside is the tab stop
}

void ChipScroller::wheelEvent(QWheelEvent* event)
{
    const QPoint delta = event->angleDelta();
    const int step = qAbs(delta.x()) > qAbs(delta.y()) ? delta.x() : delta.y();
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() - step / 4);
    event->accept();
}

}  // namespace flintly
