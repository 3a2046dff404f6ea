#include "historyview/HistoryWindow.h"

#include "document/MarkdownModel.h"
#include "document/RecoveryStore.h"
#include "document/TextDecoding.h"
#include "history/NoteHistory.h"
#include "platform/Log.h"

#include <QAction>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace flintly {

namespace {
enum Column { kWhen, kSize, kWhy };
constexpr int kKindRole = Qt::UserRole;
constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kPathRole = Qt::UserRole + 2;

QString whenText(const QDateTime& time)
{
    return QLocale().toString(time.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString sizeText(qint64 bytes) { return QLocale().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat); }

QTreeWidgetItem* group(QTreeWidget* tree, const QString& title)
{
    auto* item = new QTreeWidgetItem(tree, {title});
    item->setFlags(Qt::ItemIsEnabled);
    item->setFirstColumnSpanned(true);
    QFont bold = item->font(kWhen);
    bold.setBold(true);
    item->setFont(kWhen, bold);
    return item;
}

void placeholder(QTreeWidgetItem* parent, const QString& text)
{
    auto* item = new QTreeWidgetItem(parent, {text});
    item->setFlags(Qt::NoItemFlags);
    item->setFirstColumnSpanned(true);
}
}  // namespace

HistoryWindow::HistoryWindow(Dependencies deps, QWidget* parent) : QWidget(parent, Qt::Window), deps_(std::move(deps))
{
    Q_ASSERT(deps_.history && deps_.model);
    if (deps_.recoveryFolder.isEmpty())
        deps_.recoveryFolder = RecoveryStore::defaultFolder();
    setWindowTitle(title());
    resize(820, 520);
    buildLayout();

    auto* close = new QAction(this);
    close->setShortcut(QKeySequence::Close);
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    // Another note opened while the window is up: it shows that note's versions.
    connect(deps_.model, &MarkdownModel::urlChanged, this, [this] {
        if (isVisible())
            refresh();
    });
}

HistoryWindow::~HistoryWindow() = default;

void HistoryWindow::buildLayout()
{
    heading_ = new QLabel;
    heading_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    tree_ = new QTreeWidget;
    tree_->setAccessibleName(QStringLiteral("Versions"));
    tree_->setHeaderLabels({QStringLiteral("When"), QStringLiteral("Size"), QStringLiteral("Why")});
    tree_->setRootIsDecorated(true);
    tree_->setUniformRowHeights(true);
    tree_->header()->setSectionResizeMode(kWhen, QHeaderView::ResizeToContents);
    tree_->header()->setSectionResizeMode(kSize, QHeaderView::ResizeToContents);
    connect(tree_, &QTreeWidget::itemSelectionChanged, this, &HistoryWindow::showSelected);
    connect(tree_, &QTreeWidget::itemExpanded, this, &HistoryWindow::expandGoneNote);
    connect(tree_, &QTreeWidget::itemActivated, this, [this] { restoreSelected(); });

    preview_ = new QPlainTextEdit;
    preview_->setReadOnly(true);
    preview_->setAccessibleName(QStringLiteral("Text of the selected version"));
    preview_->setPlaceholderText(QStringLiteral("Select a version to see its text."));

    restoreButton_ = new QPushButton(QStringLiteral("Restore"));
    restoreButton_->setEnabled(false);
    connect(restoreButton_, &QPushButton::clicked, this, &HistoryWindow::restoreSelected);
    auto* closeButton = new QPushButton(QStringLiteral("Close"));
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);

    auto* splitter = new QSplitter;
    splitter->addWidget(tree_);
    splitter->addWidget(preview_);
    splitter->setStretchFactor(0, 2);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({400, 420});

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(restoreButton_);
    buttons->addWidget(closeButton);

    auto* column = new QVBoxLayout(this);
    column->addWidget(heading_);
    column->addWidget(splitter, 1);
    column->addLayout(buttons);
}

void HistoryWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refresh();
}

void HistoryWindow::refresh()
{
    const quint64 serial = ++serial_;
    ++previewSerial_;
    tree_->clear();
    showText(std::nullopt);
    const QString path = deps_.model->filePath();
    heading_->setText(path.isEmpty() ? QStringLiteral("The open note has not been saved yet.")
                                     : QStringLiteral("Versions of %1").arg(QFileInfo(path).fileName()));
    noteGroup_ = group(tree_, QStringLiteral("This note"));
    goneGroup_ = group(tree_, QStringLiteral("Deleted notes"));
    recoveryGroup_ = group(tree_, QStringLiteral("Recovery files"));
    partsPending_ = 2;
    listNote(path, serial);
    listGoneNotes(serial);
    listRecoveryFiles();
}

void HistoryWindow::partListed()
{
    if (--partsPending_ == 0)
        emit listed();
}

void HistoryWindow::listNote(const QString& path, quint64 serial)
{
    if (path.isEmpty()) {
        placeholder(noteGroup_, QStringLiteral("No versions before its first save"));
        partListed();
        return;
    }
    deps_.history->versionsOf(path, this, [this, path, serial](history::NoteHistory::NoteVersions found) {
        if (serial != serial_)
            return;
        if (found.versions.empty())
            placeholder(noteGroup_, QStringLiteral("No versions yet"));
        addVersionRows(noteGroup_, found.versions, Kind::version, path);
        noteGroup_->setExpanded(true);
        partListed();
    });
}

void HistoryWindow::listGoneNotes(quint64 serial)
{
    deps_.history->deletedNotes(this, [this, serial](std::vector<history::NoteInfo> notes) {
        if (serial != serial_)
            return;
        if (notes.empty())
            placeholder(goneGroup_, QStringLiteral("None"));
        for (const history::NoteInfo& note : notes) {
            auto* item = new QTreeWidgetItem(
                goneGroup_,
                {QFileInfo(note.path).fileName(), QString(), QStringLiteral("%1 versions").arg(note.versions)});
            item->setToolTip(kWhen, note.path);
            item->setData(kWhen, kKindRole, static_cast<int>(Kind::goneNote));
            item->setData(kWhen, kIdRole, note.id);
            item->setData(kWhen, kPathRole, note.path);
            // Its versions are asked for when it is opened.
            item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        }
        partListed();
    });
}

void HistoryWindow::listRecoveryFiles()
{
    const auto files = RecoveryStore(deps_.recoveryFolder).entries();
    if (files.empty())
        placeholder(recoveryGroup_, QStringLiteral("None"));
    for (const RecoveryStore::Entry& file : files) {
        auto* item = new QTreeWidgetItem(
            recoveryGroup_, {whenText(file.written), sizeText(file.size), QFileInfo(file.path).fileName()});
        item->setToolTip(kWhy, file.path);
        item->setData(kWhen, kKindRole, static_cast<int>(Kind::recovery));
        item->setData(kWhen, kPathRole, file.path);
    }
    recoveryGroup_->setExpanded(!files.empty());
}

void HistoryWindow::expandGoneNote(QTreeWidgetItem* item)
{
    if (!item || item->data(kWhen, kKindRole) != static_cast<int>(Kind::goneNote) || item->childCount() > 0)
        return;
    const quint64 serial = serial_;
    const QString path = item->data(kWhen, kPathRole).toString();
    deps_.history->versionsOfNote(item->data(kWhen, kIdRole).toLongLong(), this,
                                  [this, item, path, serial](std::vector<history::VersionInfo> versions) {
                                      // A refresh meanwhile deleted the item.
                                      if (serial == serial_)
                                          addVersionRows(item, versions, Kind::goneVersion, path);
                                  });
}

void HistoryWindow::addVersionRows(QTreeWidgetItem* parent, const std::vector<history::VersionInfo>& versions,
                                   Kind kind, const QString& path)
{
    for (const history::VersionInfo& v : versions) {
        auto* item =
            new QTreeWidgetItem(parent, {whenText(v.time), sizeText(v.size), history::reason::label(v.reason)});
        item->setData(kWhen, kKindRole, static_cast<int>(kind));
        item->setData(kWhen, kIdRole, v.id);
        item->setData(kWhen, kPathRole, path);
    }
}

std::optional<HistoryWindow::Selected> HistoryWindow::selected() const
{
    const QList<QTreeWidgetItem*> items = tree_->selectedItems();
    if (items.isEmpty() || !items.first()->data(kWhen, kKindRole).isValid())
        return std::nullopt;
    const QTreeWidgetItem* item = items.first();
    const auto kind = static_cast<Kind>(item->data(kWhen, kKindRole).toInt());
    if (kind == Kind::goneNote)
        return std::nullopt;
    return Selected{kind, item->data(kWhen, kIdRole).toLongLong(), item->data(kWhen, kPathRole).toString()};
}

void HistoryWindow::showSelected()
{
    const quint64 serial = ++previewSerial_;
    showText(std::nullopt);
    const auto chosen = selected();
    if (!chosen)
        return;
    restoreButton_->setText(chosen->kind == Kind::version ? QStringLiteral("Restore")
                                                          : QStringLiteral("Restore as New Note"));
    if (chosen->kind == Kind::recovery) {
        showText(readUtf8File(chosen->path));
        return;
    }
    deps_.history->bytesOf(chosen->id, this, [this, serial](std::optional<QByteArray> bytes) {
        if (serial == previewSerial_)
            // What loading the file would give: a byte-order mark is no part of the text.
            showText(bytes ? decodeUtf8(*bytes) : std::nullopt);
    });
}

void HistoryWindow::showText(const std::optional<QString>& text)
{
    shownText_ = text;
    preview_->setPlainText(text.value_or(QString()));
    restoreButton_->setEnabled(text.has_value());
    if (text)
        emit previewed();
}

void HistoryWindow::restoreSelected()
{
    const auto chosen = selected();
    if (!chosen || !shownText_)
        return;
    if (chosen->kind == Kind::version) {
        // The list was made for the note that was open then.
        if (chosen->path != deps_.model->filePath()) {
            refresh();
            return;
        }
        log("🕘 노트 기록에서 버전 복원:", QFileInfo(chosen->path).fileName(), chosen->id);
        deps_.model->restoreText(*shownText_);
    } else {
        log("🕘 노트 기록에서 새 노트로 복원:", QFileInfo(chosen->path).fileName());
        const QString text = *shownText_;
        deps_.model->newNote();
        deps_.model->setText(text);
    }
    refresh();
}

}  // namespace flintly
