#include "templates/TemplatePanelViewModel.h"

#include "document/MarkdownModel.h"
#include "document/NoteNaming.h"
#include "platform/AppPaths.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"
#include "platform/SettingsStore.h"
#include "platform/TimeSource.h"
#include "templates/StarterTemplates.h"
#include "templates/TemplateLibrary.h"
#include "templates/TemplateVariables.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace flintly {

TemplatePanelViewModel::TemplatePanelViewModel(Dependencies deps, QObject* parent)
    : QObject(parent), deps_(std::move(deps)), model_(deps_.model)
{
    if (!deps_.schedule)
        deps_.schedule = scheduleOnTimer;
    if (!deps_.time)
        deps_.time = &TimeSource::system();
    if (deps_.defaultFolder.isEmpty())
        deps_.defaultFolder = AppPaths::dataDir() + QStringLiteral("/Templates");
    if (model_)
        folder_ = model_->templateFolder();
    pinned_ = loadPinned();
    reload();
}

TemplatePanelViewModel::~TemplatePanelViewModel()
{
    for (const QUrl& folder : std::as_const(pinned_))
        Bookmark::stopAccessing(folder.toLocalFile());
}

void TemplatePanelViewModel::setHovered(const QUrl& url)
{
    if (url == hovered_)
        return;
    hovered_ = url;
    emit hoveredChanged(url);
}

void TemplatePanelViewModel::setFolder(const QUrl& folder)
{
    if (folder == folder_)
        return;
    folder_ = folder;
    emit folderChanged(folder);
}

void TemplatePanelViewModel::setPinned(const QList<QUrl>& pinned)
{
    if (pinned == pinned_)
        return;
    pinned_ = pinned;
    emit pinnedChanged(pinned);
}

void TemplatePanelViewModel::setResults(const QList<QUrl>& results)
{
    results_ = results;
    emit resultsChanged(results);
}

// --- Pinned folders ----------------------------------------------------------------

QList<QUrl> TemplatePanelViewModel::loadPinned() const
{
    QList<QUrl> folders;
    if (!deps_.settings)
        return folders;
    for (const QByteArray& bytes : deps_.settings->bytesListValue(settingskeys::templatePinned)) {
        const auto resolved = Bookmark::resolve(bytes);
        if (!resolved || resolved->isStale)
            continue;
        Bookmark::startAccessing(resolved->path);
        folders.append(QUrl::fromLocalFile(resolved->path));
    }
    return folders;
}

void TemplatePanelViewModel::savePinned(const QList<QUrl>& folders)
{
    if (!deps_.settings)
        return;
    QVariantList bookmarks;
    for (const QUrl& folder : folders) {
        if (const auto bytes = Bookmark::create(folder.toLocalFile()))
            bookmarks.append(*bytes);
    }
    deps_.settings->setValue(settingskeys::templatePinned, bookmarks);
}

// --- Listing and filtering ---------------------------------------------------------

void TemplatePanelViewModel::reload()
{
    if (folder_.isEmpty()) {
        allTemplates_.clear();
        setResults({});
        return;
    }
    allTemplates_ = TemplateLibrary::listTemplates(folder_);
    // Another folder (or the same one changed on disk) must never be answered from the
    // lists of the one before.
    filteredCache_.clear();
    applyFilter();
}

void TemplatePanelViewModel::setQuery(const QString& text)
{
    if (text != query_) {
        query_ = text;
        emit queryChanged(text);
    }
    // Dropping the previous task cancels it: one filter per pause in typing.
    searchTask_ = deps_.schedule(kSearchDebounceMs, [this] { applyFilter(); });
    filterPending_ = true;
}

void TemplatePanelViewModel::commitQuery()
{
    if (!filterPending_)
        return;
    searchTask_.reset();
    applyFilter();
}

const QList<QUrl>* TemplatePanelViewModel::cached(const QString& query) const
{
    const auto it = std::find_if(filteredCache_.begin(), filteredCache_.end(),
                                 [&](const auto& entry) { return entry.first == query; });
    return it == filteredCache_.end() ? nullptr : &it->second;
}

void TemplatePanelViewModel::applyFilter()
{
    filterPending_ = false;
    const QString q = query_.trimmed();
    if (const QList<QUrl>* hit = cached(q)) {
        setResults(*hit);
        return;
    }
    const QList<QUrl> sorted = TemplateLibrary::filterTemplates(allTemplates_, q);
    filteredCache_.emplace_back(q, sorted);
    if (filteredCache_.size() > static_cast<size_t>(kCacheLimit))
        filteredCache_.erase(filteredCache_.begin());
    setResults(sorted);
}

// --- Folders -----------------------------------------------------------------------

void TemplatePanelViewModel::runFolderChooser(std::function<void(bool chosen)> done)
{
    if (!deps_.fileChooser) {
        done(false);
        return;
    }
    FolderRequest request;
    request.prompt = QStringLiteral("Choose");
    request.message = QStringLiteral("Pick the folder that stores your Markdown templates.");
    request.startDirectory = folder_.isEmpty() ? QString() : folder_.toLocalFile();
    isChoosingFolder_ = true;
    QPointer<TemplatePanelViewModel> self(this);
    deps_.fileChooser->chooseFolder(request, [self, done = std::move(done)](std::optional<QString> chosen) {
        if (!self)
            return;
        self->isChoosingFolder_ = false;
        if (!chosen || chosen->isEmpty()) {
            done(false);
            return;
        }
        self->setFolder(QUrl::fromLocalFile(*chosen));
        self->reload();
        done(true);
    });
}

void TemplatePanelViewModel::chooseFolder()
{
    QPointer<TemplatePanelViewModel> self(this);
    runFolderChooser([self](bool chosen) {
        // The folder button's choice outlives the panel: the next start lists it again.
        if (self && chosen && self->model_)
            self->model_->setTemplateFolder(self->folder_);
    });
}

void TemplatePanelViewModel::chooseAndPinFolder()
{
    QPointer<TemplatePanelViewModel> self(this);
    runFolderChooser([self](bool chosen) {
        // A cancelled chooser pins nothing: the user asked for no change.
        if (!self || !chosen || self->folder_.isEmpty() || self->pinned_.contains(self->folder_))
            return;
        QList<QUrl> pinned = self->pinned_;
        pinned.append(self->folder_);
        self->setPinned(pinned);
        self->savePinned(pinned);
    });
}

void TemplatePanelViewModel::selectFolder(const QUrl& folder)
{
    setFolder(folder);
    reload();
}

void TemplatePanelViewModel::clearFolders()
{
    setPinned({});
    setFolder({});
    reload();
}

// --- Inserting ---------------------------------------------------------------------

bool TemplatePanelViewModel::applyTemplate(const QUrl& url)
{
    QString error;
    const std::optional<QString> text = TemplateLibrary::readTemplate(url, &error);
    if (!text) {
        log("❌ Failed to read template:", error);
        return false;
    }
    if (!model_)
        return false;
    const TemplateContext context{deps_.time->now().toLocalTime(), model_->currentFileName(),
                                  deps_.clipboardText ? deps_.clipboardText() : QString()};
    const ExpandedTemplate expanded = expandTemplate(*text, context);
    model_->appendText(expanded.text, expanded.caret);
    emit templateApplied(url);
    return true;
}

// --- The empty panel ---------------------------------------------------------------

QString TemplatePanelViewModel::templatesHome() const
{
    return folder_.isEmpty() ? deps_.defaultFolder : folder_.toLocalFile();
}

QString TemplatePanelViewModel::folderToFill()
{
    const QString path = templatesHome();
    if (!QDir().mkpath(path)) {
        log("❌ Cannot make the template folder:", path);
        return {};
    }
    if (folder_.isEmpty()) {
        setFolder(QUrl::fromLocalFile(path));
        if (model_)
            model_->setTemplateFolder(folder_);
    }
    return path;
}

void TemplatePanelViewModel::addStarterTemplates()
{
    const QString folder = folderToFill();
    if (folder.isEmpty())
        return;
    const StarterTemplatesAdded added = flintly::addStarterTemplates(folder);
    if (!added.written.isEmpty())
        log("📝 Starter templates added:", added.written.join(QStringLiteral(", ")));
    if (!added.kept.isEmpty())
        log("📝 Starter templates kept as they were:", added.kept.join(QStringLiteral(", ")));
    if (!added.error.isEmpty())
        log("❌ Failed to add starter templates:", added.error);
    reload();
}

void TemplatePanelViewModel::newTemplate()
{
    const QString folder = folderToFill();
    if (folder.isEmpty() || !model_)
        return;
    QString path;
    try {
        path = NoteNaming::uniqueFilePath(folder, QStringLiteral("New Template"));
    } catch (const std::exception& e) {
        log("❌ Failed to create a template:", e.what());
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        log("❌ Failed to create a template:", path, file.errorString());
        return;
    }
    file.close();
    const QUrl url = QUrl::fromLocalFile(path);
    model_->open(url);
    reload();
    emit templateOpened(url);
}

void TemplatePanelViewModel::openTemplatesFolder()
{
    const QString folder = folderToFill();
    if (!folder.isEmpty() && deps_.urlOpener)
        deps_.urlOpener->openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace flintly
