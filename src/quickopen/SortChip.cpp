#include "quickopen/SortChip.h"

#include "browser/Workspace.h"
#include "quickopen/BrowserGlyphs.h"
#include "widgets/FocusRing.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWidgetAction>

namespace flintly {

namespace {

QColor withAlpha(QColor c, qreal alpha)
{
    c.setAlphaF(alpha);
    return c;
}

// One row of the sort menu: the mode's arrow, its label, and a checkmark in the
// accent colour on the current mode (kept invisible on the others so labels align).
class SortMenuRow : public QWidget {
public:
    SortMenuRow(QWidgetAction* action, Workspace* workspace, SortMode mode)
        : action_(action), workspace_(workspace), mode_(mode)
    {
        setMouseTracking(true);
        setMinimumSize(150, 24);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor text = palette().color(QPalette::WindowText);
        if (hovered_) {
            QPainterPath shape;
            shape.addRoundedRect(QRectF(rect()).adjusted(4, 1, -4, -1), 4, 4);
            p.fillPath(shape, withAlpha(palette().color(QPalette::Highlight), 0.18));
        }
        const qreal mid = height() / 2.0;
        drawBrowserGlyph(p, sortmode::arrowSymbol(mode_), withAlpha(text, 0.6), QRectF(12, mid - 5.5, 8, 11));
        QFont f = font();
        f.setPixelSize(12);
        p.setFont(f);
        p.setPen(text);
        p.drawText(QRectF(28, 0, width() - 56, height()), Qt::AlignLeft | Qt::AlignVCenter, sortmode::menuLabel(mode_));
        if (workspace_ && workspace_->sortMode() == mode_)
            drawBrowserGlyph(p, QStringLiteral("checkmark"), palette().color(QPalette::Highlight),
                             QRectF(width() - 22, mid - 5, 10, 10));
    }
    void enterEvent(QEnterEvent*) override
    {
        hovered_ = true;
        update();
    }
    void leaveEvent(QEvent*) override
    {
        hovered_ = false;
        update();
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() != Qt::LeftButton)
            return;
        action_->trigger();
        if (auto* menu = qobject_cast<QMenu*>(parentWidget()))
            menu->close();
    }

private:
    QWidgetAction* action_;
    QPointer<Workspace> workspace_;
    SortMode mode_;
    bool hovered_ = false;
};

}  // namespace

SortChip::SortChip(Workspace* workspace, QWidget* parent) : QAbstractButton(parent), workspace_(workspace)
{
    setFixedSize(kWidth, 24);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);  // Space opens the menu
    menu_ = new QMenu(this);
    for (SortMode mode : sortmode::all()) {
        auto* action = new QWidgetAction(menu_);
        action->setText(sortmode::menuLabel(mode));
        action->setData(sortmode::rawValue(mode));
        action->setDefaultWidget(new SortMenuRow(action, workspace, mode));
        connect(action, &QAction::triggered, this, [this, mode] {
            if (workspace_)
                workspace_->setSortMode(mode);
        });
        menu_->addAction(action);
    }
    connect(this, &QAbstractButton::clicked, this, &SortChip::popUpMenu);
    connect(workspace_, &Workspace::sortModeChanged, this, &SortChip::refresh);
    refresh();
}

void SortChip::refresh()
{
    if (!workspace_)
        return;
    const QString label = sortmode::chipLabel(workspace_->sortMode());
    setText(label);
    setToolTip(QStringLiteral("Change sort order (") + label + QLatin1Char(')'));
    setAccessibleName(toolTip());
    update();
}

void SortChip::popUpMenu() { menu_->popup(mapToGlobal(QPoint(width() - menu_->sizeHint().width(), height() + 4))); }

void SortChip::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor ink = palette().color(QPalette::WindowText);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), 12, 12);
    p.fillPath(shape, withAlpha(ink, hovered_ ? 0.18 : 0.08));
    QFont f = font();
    f.setPixelSize(11);
    p.setFont(f);
    p.setPen(withAlpha(ink, 0.8));
    p.drawText(rect(), Qt::AlignCenter, text());
    drawFocusRing(p, *this, QRectF(rect()), 12);
}

void SortChip::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void SortChip::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

}  // namespace flintly
