#include "browser/Workspace.h"

#include "document/MarkdownModel.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/MainThread.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace flintly {

namespace {

QString pathOrNil(const QUrl& url) { return url.isEmpty() ? QStringLiteral("nil") : url.toLocalFile(); }

// As the list would print: ["Notes", "Work"].
QString lastComponents(const QList<QUrl>& folders)
{
    QStringList names;
    for (const QUrl& u : folders)
        names.append(QLatin1Char('"') + QFileInfo(u.toLocalFile()).fileName() + QLatin1Char('"'));
    return QLatin1Char('[') + names.join(QStringLiteral(", ")) + QLatin1Char(']');
}

SortMode storedSortMode(const SettingsStore& settings)
{
    const auto raw = settings.stringValue(settingskeys::quickOpenSortMode);
    return raw ? sortmode::fromRawValue(*raw).value_or(SortMode::modifiedDesc) : SortMode::modifiedDesc;
}
}  // namespace

Workspace::Workspace(SettingsStore& settings, MarkdownModel* model, FileChooser* chooser, QObject* parent)
    : QObject(parent), settings_(settings), model_(model), chooser_(chooser)
{
    Pins pins = loadPins(settings_);
    pinned_ = std::move(pins.folders);
    unavailable_ = std::move(pins.unavailable);
    sortMode_ = storedSortMode(settings_);
    showDefaultFolder_ = settings_.get(settingskeys::showDefaultFolder);
    connect(&settings_, &SettingsStore::changed, this, &Workspace::onSettingChanged);
    if (model_)
        connect(model_, &MarkdownModel::saveFolderChanged, this, &Workspace::onSaveFolderChanged);
}

QUrl Workspace::folderUrl(const QString& path)
{
    if (path.isEmpty())
        return {};
    return QUrl::fromLocalFile(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
}

QUrl Workspace::folderUrl(const QUrl& url) { return url.isLocalFile() ? folderUrl(url.toLocalFile()) : QUrl(); }

QList<QUrl> Workspace::loadPinned(const SettingsStore& settings)
{
    Pins pins = loadPins(settings);
    for (auto it = pins.unavailable.cbegin(); it != pins.unavailable.cend(); ++it)
        pins.folders.removeAll(it.key());
    return pins.folders;
}

Workspace::Pins Workspace::loadPins(const SettingsStore& settings)
{
    Pins out;
    QSet<QString> seen;
    for (const QByteArray& bytes : settings.bytesListValue(settingskeys::pinnedBookmarks)) {
        const auto resolved = Bookmark::resolve(bytes);
        QUrl url;
        if (resolved && !resolved->isStale && Bookmark::startAccessing(resolved->path)) {
            url = folderUrl(resolved->path);
        } else if (const auto path = Bookmark::storedPath(bytes); !resolved && path) {
            url = folderUrl(*path);
            out.unavailable.insert(url, bytes);
        } else {
            continue;
        }
        if (seen.contains(url.toLocalFile().toLower()))
            continue;
        seen.insert(url.toLocalFile().toLower());
        out.folders.append(url);
    }
    return out;
}

void Workspace::reloadUnavailable()
{
    bool back = false;
    for (auto it = unavailable_.begin(); it != unavailable_.end();) {
        if (Bookmark::startAccessing(it.key().toLocalFile()) && QFileInfo(it.key().toLocalFile()).isDir()) {
            it = unavailable_.erase(it);
            back = true;
        } else {
            ++it;
        }
    }
    if (!back)
        return;
    emit pinnedChanged();
    // Stored again from the folder as it is now: a drive mounted anew may have a new
    // device number, and the old bookmark would read as stale next time.
    QList<QUrl> stored = pinned_;
    if (showDefaultFolder_ && !currentCore_.isEmpty())
        stored.removeAll(currentCore_);
    store(stored);
}

void Workspace::store(const QList<QUrl>& folders)
{
    QList<QByteArray> stored;
    for (const QUrl& folder : folders) {
        if (const auto bytes = Bookmark::create(folder.toLocalFile()))
            stored.append(*bytes);
        else if (unavailable_.contains(folder))
            stored.append(unavailable_.value(folder));
    }
    if (settings_.bytesListValue(settingskeys::pinnedBookmarks) == stored)
        return;
    settings_.set(settingskeys::pinnedBookmarks, stored);
}

void Workspace::savePinned(SettingsStore& settings, const QList<QUrl>& folders)
{
    QVariantList stored;
    for (const QUrl& folder : folders)
        if (const auto bytes = Bookmark::create(folder.toLocalFile()))
            stored.append(*bytes);
    settings.setValue(settingskeys::pinnedBookmarks, stored);
}

void Workspace::setSortMode(SortMode mode)
{
    // The stored value comes back through onSettingChanged, which updates the mode.
    settings_.setValue(settingskeys::quickOpenSortMode, sortmode::rawValue(mode));
}

void Workspace::setShowDefaultFolder(bool show) { settings_.setValue(settingskeys::showDefaultFolder, show); }

bool Workspace::isProtected(const QUrl& folder) const
{
    return showDefaultFolder_ && !currentCore_.isEmpty() && folder == currentCore_;
}

QUrl Workspace::notesFolder() const { return model_ ? folderUrl(model_->saveFolder()) : QUrl(); }

void Workspace::setPinned(QList<QUrl> folders)
{
    if (folders == pinned_)
        return;
    pinned_ = std::move(folders);
    emit pinnedChanged();
}

void Workspace::addPinnedFolder()
{
    if (!chooser_)
        return;
    FolderRequest request;
    request.prompt = QStringLiteral("Add");
    QPointer<Workspace> self(this);
    chooser_->chooseFolder(request, [self](std::optional<QString> chosen) {
        if (!self || !chosen || chosen->isEmpty())
            return;
        const QUrl folder = folderUrl(*chosen);
        if (!QFileInfo(folder.toLocalFile()).isDir() || !Bookmark::startAccessing(folder.toLocalFile()))
            return;
        if (!self->pinned_.contains(folder)) {
            QList<QUrl> next = self->pinned_;
            next.append(folder);
            self->setPinned(next);
            self->store(self->pinned_);
        }
        self->browse(folder);
        Bookmark::stopAccessing(folder.toLocalFile());
    });
}

void Workspace::removePinned(const QUrl& folder)
{
    QList<QUrl> next = pinned_;
    next.removeAll(folderUrl(folder));
    setPinned(next);
    store(pinned_);
}

void Workspace::selectPinned(const QUrl& folder)
{
    Bookmark::startAccessing(folder.toLocalFile());
    browse(folder);
    emit searchResetRequested();
}

void Workspace::openPinnedByIndex(const QVariant& index)
{
    const int type = index.typeId();
    if (type != QMetaType::Int && type != QMetaType::LongLong && type != QMetaType::UInt
        && type != QMetaType::ULongLong)
        return;
    const qlonglong n = index.toLongLong();
    if (n < 0 || n >= pinned_.size())
        return;
    const QUrl folder = pinned_.at(static_cast<qsizetype>(n));
    Bookmark::startAccessing(folder.toLocalFile());
    browse(folder);
    // After the list has taken the new folder's rows.
    QPointer<Workspace> self(this);
    runOn(this, [self] {
        if (self)
            emit self->listFocusRequested();
    });
}

void Workspace::browse(const QUrl& folder)
{
    const QUrl url = folderUrl(folder);
    if (url != vaultURL_) {
        vaultURL_ = url;
        emit vaultURLChanged(url);
    }
    emit browseRequested(url);
}

void Workspace::syncDefaultFolder(const QUrl& notesFolder)
{
    const QUrl next = folderUrl(notesFolder);
    const QUrl old = currentCore_;
    log("🔄 syncDefaultFolder old:", pathOrNil(old), "→ new:", pathOrNil(next));
    log("   pinned BEFORE:", lastComponents(pinned_));
    QList<QUrl> list = pinned_;
    if (!old.isEmpty() && next != old)
        list.removeAll(old);
    if (!next.isEmpty() && showDefaultFolder_) {
        list.removeAll(next);
        list.prepend(next);
    }
    setPinned(list);
    QList<QUrl> stored = pinned_;
    stored.removeAll(next);
    store(stored);
    log("   pinned AFTER :", lastComponents(pinned_));
    currentCore_ = next;
}

void Workspace::onSaveFolderChanged(const QUrl& folder)
{
    log("💡 QuickOpenView got new saveFolder →", pathOrNil(folderUrl(folder)));
    syncDefaultFolder(folder);
}

void Workspace::onSettingChanged(const QString& key)
{
    if (key == settingskeys::quickOpenSortMode) {
        const SortMode mode = storedSortMode(settings_);
        if (mode != sortMode_) {
            sortMode_ = mode;
            emit sortModeChanged(mode);
        }
        return;
    }
    if (key != settingskeys::showDefaultFolder)
        return;
    const bool show = settings_.get(settingskeys::showDefaultFolder);
    if (show == showDefaultFolder_)
        return;
    showDefaultFolder_ = show;
    emit showDefaultFolderChanged(show);
    const QUrl notes = notesFolder();
    if (notes.isEmpty())
        return;
    if (show) {
        if (!pinned_.contains(notes)) {
            QList<QUrl> next = pinned_;
            next.prepend(notes);
            setPinned(next);
            store(pinned_);
        }
    } else {
        removePinned(notes);
    }
}

void Workspace::beginDrag(const QUrl& folder) { dragging_ = folderUrl(folder); }

void Workspace::dragEntered(const QUrl& target)
{
    const QUrl t = folderUrl(target);
    if (dragging_.isEmpty() || dragging_ == t)
        return;
    const qsizetype from = pinned_.indexOf(dragging_);
    const qsizetype to = pinned_.indexOf(t);
    if (from < 0 || to < 0)
        return;
    QList<QUrl> next = pinned_;
    // Lands before the target coming from the right, after it coming from the left;
    // either way the dragged chip ends up at the target's old index.
    next.move(from, to);
    setPinned(next);
}

void Workspace::endDrag()
{
    if (dragging_.isEmpty())
        return;
    store(pinned_);
    dragging_ = QUrl();
}

}  // namespace flintly
