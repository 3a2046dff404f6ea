#include "quickopen/QuickOpenView.h"

#include "browser/NoteListModel.h"
#include "browser/QuickOpenModel.h"
#include "browser/Workspace.h"
#include "quickopen/FolderChipRow.h"
#include "quickopen/NoteRowDelegate.h"
#include "quickopen/SortChip.h"

#include <QBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QScrollBar>

namespace flintly {

QuickOpenView::QuickOpenView(QuickOpenModel* browser, int topPadding, QWidget* parent)
    : QWidget(parent), browser_(browser)
{
    setAttribute(Qt::WA_TranslucentBackground);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, topPadding, 0, 0);
    column->setSpacing(8);

    auto* searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(8, 0, 8 + 10, 0);
    searchRow->setSpacing(6);
    field_ = new QLineEdit(this);
    field_->setObjectName(QStringLiteral("quickOpenSearch"));
    field_->setPlaceholderText(QStringLiteral("Search for notes…"));
    field_->setAccessibleName(QStringLiteral("Search notes"));
    field_->setFrame(false);
    field_->setTextMargins(10, 6, 10, 6);
    field_->setAttribute(Qt::WA_MacShowFocusRect, false);
    field_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; font-size: 14px; }"));
    sortChip_ = new SortChip(&browser->workspace(), this);
    searchRow->addWidget(field_, 1);
    searchRow->addWidget(sortChip_, 0, Qt::AlignVCenter);
    column->addLayout(searchRow);

    auto* chipRow = new QHBoxLayout;
    chipRow->setContentsMargins(8, 0, 8, 0);
    chips_ = new FolderChipRow(&browser->workspace());
    chipRow->addWidget(new ChipScroller(chips_, this));
    column->addLayout(chipRow);

    listModel_ = new NoteListModel(browser, this);
    delegate_ = new NoteRowDelegate(this);
    list_ = new QListView(this);
    list_->setObjectName(QStringLiteral("quickOpenList"));
    list_->setAccessibleName(QStringLiteral("Notes"));
    list_->setModel(listModel_);
    list_->setItemDelegate(delegate_);
    list_->setUniformItemSizes(true);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list_->setFrameShape(QFrame::NoFrame);
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    list_->setMouseTracking(true);
    list_->viewport()->setAutoFillBackground(false);
    QPalette clear = list_->palette();
    clear.setColor(QPalette::Base, Qt::transparent);
    list_->setPalette(clear);
    column->addWidget(list_, 1);
    indexStatus_ = new QLabel(this);
    indexStatus_->setObjectName(QStringLiteral("quickOpenIndexStatus"));
    indexStatus_->setContentsMargins(14, 0, 14, 4);
    indexStatus_->setStyleSheet(QStringLiteral("QLabel { font-size: 11px; color: palette(mid); }"));
    indexStatus_->hide();
    column->addWidget(indexStatus_);
    connect(browser, &QuickOpenModel::indexProgressChanged, this, &QuickOpenView::showIndexProgress);

    field_->installEventFilter(this);
    list_->installEventFilter(this);
    list_->viewport()->installEventFilter(this);

    connect(field_, &QLineEdit::textEdited, browser, &QuickOpenModel::setQuery);
    connect(browser, &QuickOpenModel::queryChanged, this, [this](const QString& text) {
        if (field_->text() != text)
            field_->setText(text);
    });
    connect(browser, &QuickOpenModel::listChanged, this, [this] {
        clearHover();
        syncSelection();
    });
    connect(browser, &QuickOpenModel::selectionChanged, this, [this] {
        clearHover();
        syncSelection();
    });
    connect(browser, &QuickOpenModel::listFocusRequested, list_, [this] { list_->setFocus(Qt::OtherFocusReason); });
    connect(browser, &QuickOpenModel::searchFocusRequested, field_, [this] { field_->setFocus(Qt::OtherFocusReason); });
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (syncing_ || !browser_)
            return;
        if (const auto file = listModel_->fileAt(current.row()))
            browser_->select(file->path);
        else if (listModel_->isCreateRow(current.row()))
            browser_->clearSelection();
    });
    connect(list_, &QListView::doubleClicked, this, &QuickOpenView::activate);
    connect(list_->verticalScrollBar(), &QScrollBar::valueChanged, this, &QuickOpenView::clearHover);
}

QuickOpenView::~QuickOpenView() = default;

QuickOpenModel* QuickOpenView::browser() const { return browser_; }

void QuickOpenView::appeared()
{
    if (browser_)
        browser_->appeared();
    field_->selectAll();
    showIndexProgress();
}

void QuickOpenView::showIndexProgress()
{
    const auto [done, total] = browser_ ? browser_->indexProgress() : std::pair<qint64, qint64>{0, 0};
    indexStatus_->setVisible(total > 0);
    if (total > 0)
        indexStatus_->setText(
            QStringLiteral("Indexing note text… %1 of %2").arg(QLocale().toString(done), QLocale().toString(total)));
}

// Return or a double-click on a row: the create row creates, a note's row opens it.
void QuickOpenView::activate(const QModelIndex& index)
{
    if (!browser_)
        return;
    if (listModel_->isCreateRow(index.row()))
        browser_->createFromQuery();
    else if (listModel_->fileAt(index.row()))
        browser_->openSelection();
}

void QuickOpenView::disappeared()
{
    if (browser_)
        browser_->disappeared();
}

// The list's highlighted row follows the browser's selection, which outlives the rows
// it came from: after a new filter it may be no row at all.
void QuickOpenView::syncSelection()
{
    if (!browser_)
        return;
    const auto& selection = browser_->selection();
    const QModelIndex current = list_->currentIndex();
    const auto shown = listModel_->fileAt(current.row());
    if (selection && shown && shown->path == selection->path && list_->selectionModel()->isSelected(current))
        return;
    syncing_ = true;
    const int row = selection ? listModel_->rowOf(selection->path) : -1;
    if (row >= 0) {
        const QModelIndex index = listModel_->index(row);
        list_->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        list_->scrollTo(index);
    } else {
        list_->selectionModel()->clear();
    }
    syncing_ = false;
}

void QuickOpenView::clearHover()
{
    if (delegate_->hovered().isValid()) {
        delegate_->setHovered({});
        list_->viewport()->update();
    }
}

bool QuickOpenView::eventFilter(QObject* watched, QEvent* event)
{
    if (!browser_)
        return false;
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (watched == field_ && key->key() == Qt::Key_Down) {
            browser_->selectFirst();
            list_->setFocus(Qt::TabFocusReason);
            // No note listed, only "Create “query”": Down lands on it, Return creates.
            if (!browser_->selection() && browser_->hasCreateRow())
                list_->setCurrentIndex(listModel_->index(listModel_->rowCount() - 1));
            return true;
        }
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        if (watched == field_ && enter && (key->modifiers() & Qt::ShiftModifier)) {
            browser_->setQuery(field_->text());
            browser_->createFromQuery();
            return true;
        }
        if (watched == list_ && enter
            && (browser_->selection() || listModel_->isCreateRow(list_->currentIndex().row()))) {
            activate(list_->currentIndex());
            return true;
        }
        return false;
    }
    if (watched == list_->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            const QModelIndex under = list_->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (under != delegate_->hovered()) {
                delegate_->setHovered(listModel_->fileAt(under.row()) ? under : QModelIndex());
                list_->viewport()->update();
            }
        } else if (event->type() == QEvent::Leave) {
            clearHover();
        }
    }
    return false;
}

}  // namespace flintly
