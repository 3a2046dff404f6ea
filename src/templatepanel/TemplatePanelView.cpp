#include "templatepanel/TemplatePanelView.h"

#include "platform/NotificationCenter.h"
#include "templatepanel/FolderChip.h"
#include "templatepanel/TemplateEmptyState.h"
#include "templatepanel/TemplatePanelWindow.h"
#include "templates/TemplateListModel.h"
#include "templates/TemplatePanelViewModel.h"
#include "widgets/ToolbarButton.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPainter>
#include <QScrollArea>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

namespace flintly {

namespace {
// Rows with room to breathe and rounded highlights, on the panel's own background.
class RowDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        return QStyledItemDelegate::sizeHint(option, index) + QSize(0, 2 * kRowPadding);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyleOptionViewItem item = option;
        initStyleOption(&item, index);
        if (item.state & (QStyle::State_Selected | QStyle::State_MouseOver)) {
            QColor fill = item.palette.color(QPalette::Highlight);
            if (!(item.state & QStyle::State_Selected))
                fill.setAlphaF(0.12f);
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing);
            painter->setPen(Qt::NoPen);
            painter->setBrush(fill);
            painter->drawRoundedRect(QRectF(item.rect).adjusted(0, 1, 0, -1), 6, 6);
            painter->restore();
        }
        const QColor text =
            item.palette.color((item.state & QStyle::State_Selected) ? QPalette::HighlightedText : QPalette::Text);
        const QRect textRect = item.rect.adjusted(kRowPadding + 2, 0, -kRowPadding - 2, 0);
        painter->save();
        painter->setPen(text);
        painter->setFont(item.font);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                          item.fontMetrics.elidedText(item.text, item.textElideMode, textRect.width()));
        painter->restore();
    }

private:
    static constexpr int kRowPadding = 4;
};
}  // namespace

TemplatePanelView::TemplatePanelView(TemplatePanelViewModel& vm, QWidget* parent) : QWidget(parent), vm_(vm)
{
    // The column keeps its stated size and sits in the middle of the panel.
    auto* column = new QWidget(this);
    column->setFixedSize(kContentWidth, kContentHeight + kTopPadding + kBottomPadding);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(column, 0, Qt::AlignCenter);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, kTopPadding, 0, kBottomPadding);
    layout->setSpacing(kSpacing);

    // Chips scroll sideways when there are many; no scroll bars, as on a touchpad.
    auto* chipScroller = new QScrollArea(column);
    chipScroller->setFrameShape(QFrame::NoFrame);
    chipScroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    chipScroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    chipScroller->setFocusPolicy(Qt::NoFocus);  // the chips are the tab stops
    chipScroller->setWidgetResizable(true);
    chipScroller->viewport()->setAutoFillBackground(false);
    chipRow_ = new QWidget;
    chipRow_->setObjectName(QStringLiteral("chipRow"));
    chipLayout_ = new QHBoxLayout(chipRow_);
    chipLayout_->setContentsMargins(0, 0, 0, 0);
    chipLayout_->setSpacing(kChipSpacing);
    chipScroller->setWidget(chipRow_);
    chipRow_->setAutoFillBackground(false);  // setWidget() turned it on
    chipScroller->setFixedHeight(24);
    layout->addWidget(chipScroller);

    searchField_ = new QLineEdit(column);
    searchField_->setObjectName(QStringLiteral("searchField"));
    searchField_->setPlaceholderText(QStringLiteral("Search templates…"));
    searchField_->setAccessibleName(QStringLiteral("Search templates"));
    searchField_->setClearButtonEnabled(true);
    searchField_->setText(vm_.query());
    searchField_->installEventFilter(this);
    layout->addWidget(searchField_);

    listModel_ = new TemplateListModel(vm_, this);
    list_ = new QListView(column);
    list_->setObjectName(QStringLiteral("templateList"));
    list_->setAccessibleName(QStringLiteral("Templates"));
    list_->setModel(listModel_);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setTextElideMode(Qt::ElideMiddle);
    list_->setWordWrap(false);
    list_->setUniformItemSizes(true);
    list_->setSpacing(0);
    list_->setAlternatingRowColors(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setMouseTracking(true);
    list_->setAttribute(Qt::WA_MacShowFocusRect, false);
    list_->viewport()->setAutoFillBackground(false);
    list_->setItemDelegate(new RowDelegate(list_));
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);
    emptyState_ = new TemplateEmptyState(vm_, column);
    listOrEmpty_ = new QStackedWidget(column);
    listOrEmpty_->addWidget(list_);
    listOrEmpty_->addWidget(emptyState_);
    layout->addWidget(listOrEmpty_, 1);

    variablesHint_ = new QLabel(templateVariablesHint(), this);
    variablesHint_->setObjectName(QStringLiteral("variablesHint"));
    variablesHint_->setWordWrap(true);
    variablesHint_->setForegroundRole(QPalette::PlaceholderText);
    QFont caption = variablesHint_->font();
    caption.setPixelSize(11);
    variablesHint_->setFont(caption);

    connect(searchField_, &QLineEdit::textEdited, this, [this](const QString& text) { vm_.setQuery(text); });
    connect(&vm_, &TemplatePanelViewModel::queryChanged, this, [this](const QString& query) {
        if (searchField_->text() != query)
            searchField_->setText(query);
    });
    connect(list_, &QListView::clicked, this,
            [this](const QModelIndex& index) { insert(listModel_->urlAt(index.row())); });
    connect(list_, &QListView::entered, this,
            [this](const QModelIndex& index) { vm_.setHovered(listModel_->urlAt(index.row())); });
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { selection_ = listModel_->urlAt(current.row()); });
    connect(listModel_, &QAbstractItemModel::modelReset, this, &TemplatePanelView::keepSelectionAfterReset);
    connect(&vm_, &TemplatePanelViewModel::pinnedChanged, this, &TemplatePanelView::rebuildChips);
    connect(&vm_, &TemplatePanelViewModel::folderChanged, this, &TemplatePanelView::rebuildChips);
    connect(&vm_, &TemplatePanelViewModel::resultsChanged, this, &TemplatePanelView::showListOrEmptyState);
    NotificationCenter::defaultCenter().observe(QLatin1String(TemplatePanelWindow::kNavigateDown), this,
                                                [this](const Notification&) { navigateDown(); });
    rebuildChips();
    showListOrEmptyState();
}

void TemplatePanelView::showListOrEmptyState()
{
    // Only a folder without templates explains itself: a search that finds nothing
    // shows an empty list, as a search should.
    emptyState_->refresh();
    listOrEmpty_->setCurrentWidget(vm_.hasNoTemplates() ? static_cast<QWidget*>(emptyState_) : list_);
}

void TemplatePanelView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // Under the centred column, in the panel's bottom margin.
    const int width = kContentWidth;
    const int height = variablesHint_->heightForWidth(width);
    variablesHint_->setGeometry((this->width() - width) / 2, this->height() - height - 16, width, height);
}

void TemplatePanelView::rebuildChips()
{
    // Later, not now: this may run inside a click of one of these very chips.
    while (QLayoutItem* item = chipLayout_->takeAt(0)) {
        if (QWidget* w = item->widget()) {
            w->hide();
            w->deleteLater();
        }
        delete item;
    }
    const QList<QUrl> pinned = vm_.pinned();
    const QUrl folder = vm_.folder();
    auto addChip = [this](const QUrl& url, bool selected) {
        chipLayout_->addWidget(new FolderChip(
            url, selected, [this, url] { vm_.selectFolder(url); }, [this] { vm_.clearFolders(); }, chipRow_));
    };
    for (const QUrl& url : pinned)
        addChip(url, url == folder);
    if (!folder.isEmpty() && !pinned.contains(folder))
        addChip(folder, true);
    if (pinned.isEmpty()) {
        auto* add = new ToolbarButton(
            QStringLiteral("plus"), QStringLiteral("Pin a Template Folder"), [this] { vm_.chooseAndPinFolder(); },
            chipRow_);
        add->setObjectName(QStringLiteral("pinFolder"));
        chipLayout_->addWidget(add);
    }
    if (folder.isEmpty()) {
        auto* choose = new ToolbarButton(
            QStringLiteral("folder.badge.gearshape"), QStringLiteral("Choose Template Folder"),
            [this] { vm_.chooseFolder(); }, chipRow_);
        choose->setObjectName(QStringLiteral("chooseFolder"));
        chipLayout_->addWidget(choose);
    }
    chipLayout_->addStretch(1);
}

void TemplatePanelView::setSelection(const QUrl& url)
{
    const int row = listModel_->rowOf(url);
    if (row < 0) {
        list_->selectionModel()->clear();
        selection_ = QUrl();
        return;
    }
    list_->setCurrentIndex(listModel_->index(row));
    selection_ = url;
}

// Typing replaces the list; the highlight stays on its template while that is still
// listed and otherwise goes to the first one, so Down and Return pick what is shown.
void TemplatePanelView::keepSelectionAfterReset()
{
    setSelection(listModel_->rowOf(selection_) >= 0 ? selection_ : listModel_->urlAt(0));
}

void TemplatePanelView::appear()
{
    setSelection(listModel_->urlAt(0));
    searchField_->setFocus(Qt::OtherFocusReason);
    searchField_->selectAll();
}

void TemplatePanelView::moveIntoList()
{
    vm_.commitQuery();
    if (selection_.isEmpty())
        setSelection(listModel_->urlAt(0));
    list_->setFocus(Qt::OtherFocusReason);
}

void TemplatePanelView::navigateDown()
{
    if (searchField_->hasFocus()) {
        moveIntoList();
    } else if (list_->hasFocus()) {
        const int row = listModel_->rowOf(selection_);
        setSelection(listModel_->urlAt(std::min(row + 1, listModel_->rowCount() - 1)));
    }
}

void TemplatePanelView::insert(const QUrl& url)
{
    if (!url.isEmpty())
        vm_.applyTemplate(url);
}

bool TemplatePanelView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == searchField_ && key->key() == Qt::Key_Down) {
            moveIntoList();
            return true;
        }
        if (watched == list_ && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
            insert(selection_);
            return true;
        }
    } else if (event->type() == QEvent::Leave && watched == list_->viewport()) {
        vm_.setHovered(QUrl());
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace flintly
