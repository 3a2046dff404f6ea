// Opening a note, starting a new one and choosing the notes folder: the moments the
// model leaves one note for another, when what is not on disk yet is written first.
#include "document/MarkdownModel.h"

#include "core/AppEvents.h"
#include "document/DocumentErrors.h"
#include "document/NoteFile.h"
#include "document/NoteFolders.h"
#include "document/NoteName.h"
#include "document/NoteNaming.h"
#include "document/NoteSaver.h"
#include "document/TextDecoding.h"
#include "document/WritingStatistics.h"
#include "platform/Bookmark.h"
#include "platform/Dialogs.h"
#include "platform/Log.h"

#include <QFileInfo>
#include <QPointer>

namespace flintly {

bool MarkdownModel::open(const QUrl& fileUrl, QString* why)
{
    flushPendingEdits();
    endFocusSession();
    outside_->stopMonitoring();
    const QString path = fileUrl.toLocalFile();
    log("🪵 open() called for", QFileInfo(path).fileName(), "on model", debugIDString());
    bool opened = true;
    try {
        loadNote(fileUrl);
        setIsScratch(false);
    } catch (const std::exception& error) {
        // The current note stays open; keep watching it. Whoever asked for the file
        // hears why it did not open: a choice that silently does nothing looks broken.
        opened = false;
        if (!file_->path().isEmpty())
            startFileMonitoring();
        const QString because = reportOpenFailure(path, QString::fromUtf8(error.what()));
        if (why)
            *why = because;
    }
    if (!folders_->saveFolder().isEmpty() && !folders_->holdsByPrefix(path))
        events::openExternalNote(tracker(), QFileInfo(path).fileName().toStdString(),
                                 QFileInfo(path).absolutePath().toStdString());
    startFocusSession();
    return opened;
}

QString MarkdownModel::reportOpenFailure(const QString& path, const QString& error)
{
    log("❌ Failed to open markdown file:", error);
    const QString prefix = path + QStringLiteral(": ");
    const QString because = error.startsWith(prefix) ? error.mid(prefix.size()) : error;
    emit notice(QStringLiteral("Could not open “%1”: %2.").arg(QFileInfo(path).fileName(), because));
    return because;
}

void MarkdownModel::loadNote(const QUrl& fileUrl, const std::optional<QByteArray>& bookmark)
{
    QString target = fileUrl.toLocalFile();
    bool access = file_->hasAccess();
    if (bookmark) {
        QString error;
        const auto resolved = Bookmark::resolve(*bookmark, &error);
        if (!resolved)
            throw FileError(error);
        target = resolved->path;
        access = Bookmark::startAccessing(target);
    }
    // Leaving the current note, or reading it again: what is not on disk yet is
    // written first, so neither switching notes nor re-opening drops the last typing.
    flushPendingEdits();

    const OutsideChangeMonitor::Read read = NoteFile::read(target);
    file_->setAccess(access);
    file_->setPath(QFileInfo(target).absoluteFilePath());
    setIsScratch(false);
    saver_->settle();
    file_->remember(file_->path(), read.bytes, read.stamp, read.text);
    replaceText(read.text, Replacement::note);
    setCurrentFileName(leftGraphemes(QFileInfo(target).fileName(), NoteNaming::kNameLength));
    file_->keepLeftoverTemporaries(now());
    startFileMonitoring();
}

void MarkdownModel::openNotePanel()
{
    if (!deps_.fileChooser)
        return;
    QPointer<MarkdownModel> self(this);
    FileRequest request;
    request.nameFilters = {QStringLiteral("Markdown (*.md)")};
    deps_.fileChooser->chooseFile(request, [self](std::optional<QString> chosen) {
        if (!self || !chosen || chosen->isEmpty())
            return;
        try {
            self->loadNote(QUrl::fromLocalFile(*chosen));
            self->setIsScratch(false);
        } catch (const std::exception&) {}
    });
}

void MarkdownModel::newNote()
{
    flushPendingEdits();
    endFocusSession();
    file_->releaseAccess();
    outside_->stopMonitoring();
    file_->forget();
    saver_->settle();
    file_->setPath(QString());
    replaceText(QString(), Replacement::note);
    setCurrentFileName(NoteNaming::kFallbackName);
    setIsScratch(true);
    startFocusSession();
    events::createNote(tracker(), debugIDString().toStdString());
}

void MarkdownModel::chooseSaveFolder(std::function<void(std::optional<QUrl>)> completion)
{
    folders_->chooseSaveFolder(
        deps_.fileChooser,
        [this](const QString& folder) {
            // The draft being typed belongs to the folder it was begun in: saved (or first
            // named) there now, before the new folder would take it in.
            if (!folders_->saveFolder().isEmpty())
                flushPendingEdits();
            file_->releaseAccess();
            Bookmark::startAccessing(folder);
            setSaveFolder(QUrl::fromLocalFile(folder));
            statistics_->recompute(folders_->saveFolderPath());
        },
        std::move(completion));
}

}  // namespace flintly
