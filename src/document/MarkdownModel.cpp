#include "document/MarkdownModel.h"

#include "core/AppEvents.h"
#include "document/EditorBridge.h"
#include "document/NoteFile.h"
#include "document/NoteFolders.h"
#include "document/NoteName.h"
#include "document/NoteNaming.h"
#include "document/NoteSaver.h"
#include "document/WritingStatistics.h"
#include "platform/Bookmark.h"
#include "platform/Log.h"
#include "platform/SettingsStore.h"
#include "platform/TimeSource.h"

#include <QFileInfo>

namespace flintly {

namespace {

std::unique_ptr<MarkdownModel::Dependencies>& sharedDependencies()
{
    static std::unique_ptr<MarkdownModel::Dependencies> deps;
    return deps;
}

}  // namespace

void MarkdownModel::configureShared(Dependencies deps)
{
    sharedDependencies() = std::make_unique<Dependencies>(std::move(deps));
}

MarkdownModel& MarkdownModel::shared()
{
    static MarkdownModel* model = [] {
        Dependencies deps = sharedDependencies() ? *sharedDependencies() : Dependencies{};
        if (!deps.settings)
            deps.settings = &SettingsStore::standard();
        return new MarkdownModel(std::move(deps));
    }();
    return *model;
}

MarkdownModel::MarkdownModel(Dependencies deps, QObject* parent) : QObject(parent), deps_(std::move(deps))
{
    Q_ASSERT(deps_.settings);
    if (!deps_.watcher)
        deps_.watcher = makePlatformFileWatcher();
    time_ = deps_.time ? deps_.time : &TimeSource::system();
    file_ = std::make_unique<NoteFile>(deps_.recoveryFolder, deps_.versions);
    statistics_ = new WritingStatistics(*deps_.settings, *time_, this);
    outside_ = std::make_unique<OutsideVersions>(text_, *file_, static_cast<OutsideVersions::Host&>(*this),
                                                 *deps_.watcher, *time_);
    folders_ = std::make_unique<NoteFolders>(*deps_.settings);
    name_ = std::make_unique<NoteName>(*file_, outside_->monitor());
    saver_ = std::make_unique<NoteSaver>(NoteSaver::Parts{text_, *file_, *name_, *folders_, *outside_, *statistics_},
                                         NoteSaver::Listeners{deps_.versions, deps_.tracker, debugIDString()}, *time_);
    connectParts();

    log("🪵 MarkdownModel init →", debugIDString());
    // Both pipelines see the current text at once.
    name_->startFollowing(text_.text());
    saver_->schedule();
}

void MarkdownModel::connectParts()
{
    connect(file_.get(), &NoteFile::pathChanged, this, [this] { emit urlChanged(url()); });
    connect(file_.get(), &NoteFile::notice, this, &MarkdownModel::notice);
    connect(outside_.get(), &OutsideVersions::notice, this, &MarkdownModel::notice);
    connect(name_.get(), &NoteName::currentFileNameChanged, this, &MarkdownModel::currentFileNameChanged);
    connect(name_.get(), &NoteName::isScratchChanged, this, &MarkdownModel::isScratchChanged);
    connect(folders_.get(), &NoteFolders::saveFolderChanged, this, &MarkdownModel::saveFolderChanged);
    connect(folders_.get(), &NoteFolders::templateFolderChanged, this, &MarkdownModel::templateFolderChanged);
    connect(saver_.get(), &NoteSaver::saveFailingChanged, this, &MarkdownModel::saveFailingChanged);
    connect(saver_.get(), &NoteSaver::fileWritten, this, &MarkdownModel::fileWritten);
    connect(saver_.get(), &NoteSaver::notice, this, &MarkdownModel::notice);
    connect(statistics_, &WritingStatistics::updated, this, &MarkdownModel::statisticsUpdated);
}

MarkdownModel::~MarkdownModel()
{
    endFocusSession();
    if (file_->hasAccess() && !file_->path().isEmpty())
        Bookmark::stopAccessing(file_->path());
    name_->stopFollowing();
    outside_->shutDown();  // stops watching, then lets the monitor queue finish
}

QString MarkdownModel::debugIDString() const { return debugID_.toString(QUuid::WithoutBraces).toUpper(); }

QDateTime MarkdownModel::now() const { return time_->now(); }

UsageTracker& MarkdownModel::tracker() const { return deps_.tracker ? *deps_.tracker : usageTracker(); }

// --- What the parts hold ------------------------------------------------------------

QUrl MarkdownModel::url() const { return file_->path().isEmpty() ? QUrl() : QUrl::fromLocalFile(file_->path()); }
QString MarkdownModel::filePath() const { return file_->path(); }
QString MarkdownModel::currentFileName() const { return name_->currentFileName(); }
void MarkdownModel::setCurrentFileName(const QString& name) { name_->setCurrentFileName(name); }
bool MarkdownModel::isScratch() const { return name_->isScratch(); }
void MarkdownModel::setIsScratch(bool scratch) { name_->setIsScratch(scratch); }
QUrl MarkdownModel::saveFolder() const { return folders_->saveFolder(); }
QUrl MarkdownModel::templateFolder() const { return folders_->templateFolder(); }
void MarkdownModel::setTemplateFolder(const QUrl& folder) { folders_->setTemplateFolder(folder); }
std::optional<QUrl> MarkdownModel::resolveSaveFolderBookmark() { return folders_->resolveSaveFolderBookmark(); }
bool MarkdownModel::isSaving() const { return saver_->isSaving(); }
QDateTime MarkdownModel::lastSaveTime() const { return saver_->lastSaveTime(); }
bool MarkdownModel::saveFailing() const { return saver_->failing(); }

void MarkdownModel::setSaveFolder(const QUrl& folder)
{
    folders_->setSaveFolder(folder);
    // Text typed while there was nowhere to save it goes there now.
    if (!folder.isEmpty() && file_->hasUnsavedEdits(text_.text()))
        saver_->schedule();
}

// --- The text ---------------------------------------------------------------------

void MarkdownModel::setText(const QString& text)
{
    if (text == text_.text())
        return;
    const QString held = text_.text();
    applyEdit(text);
    // Not from the editor: the page must take this text even over its own latest edit.
    text_.supersede(held);
    emit generationChanged(text_.generation());
}

void MarkdownModel::applyEdit(const QString& text)
{
    if (!text_.edit(text, now()))
        return;
    emit textChanged(text_.text());
    name_->follow(text_.text());
    saver_->schedule();
    // Typing without a half-second pause would otherwise never be written.
    saver_->keepUpWithTyping();
}

void MarkdownModel::replaceText(const QString& text, Replacement why)
{
    // Switching notes replaces nothing of this note, and typing merged late is the user's
    // own; anything else puts text the user did not type over theirs, so what they had is
    // kept first.
    if (why == Replacement::outside && text != text_.text())
        keepVersionBeforeReplacing(text, NoteVersionSink::Cause::outsideChange);
    if (text_.replace(text, why == Replacement::note)) {
        emit textChanged(text_.text());
        name_->follow(text_.text());
        saver_->schedule();
    }
    emit generationChanged(text_.generation());
}

void MarkdownModel::keepVersionBeforeReplacing(const QString& incoming, NoteVersionSink::Cause cause)
{
    if (!deps_.versions || file_->path().isEmpty())
        return;
    deps_.versions->noteReplacing({file_->path(), text_.text(), incoming, file_->hadByteOrderMark(), cause, now()});
}

bool MarkdownModel::setTextFromEditor(const QString& text, quint64 baseGeneration)
{
    if (baseGeneration < text_.noteGeneration()) {
        // Typed into the note that was open before; it was written when we left it.
        log("🗑️ 이전 노트에 대한 편집 보고 무시 - 세대", baseGeneration, "<",
            text_.noteGeneration());
        return false;
    }
    if (baseGeneration < text_.generation()) {
        if (text == text_.text())
            return true;
        // The user typed into text that has since been replaced (another program's
        // version, reloaded or merged): the typing is merged into what replaced it.
        if (std::optional<TextMerge::Result> merged = text_.mergeLateReport(text, baseGeneration)) {
            log(QStringLiteral("🔀 교체되기 전 내용에 대한 편집을 새 내용과 병합: %1곳").arg(merged->changesTaken));
            text_.expectMerge(text, *merged);
            replaceText(merged->text, Replacement::lateTyping);
            // It was typed: the watcher's cool-down and the save pipeline treat it so.
            text_.markTyped(now());
            saver_->keepUpWithTyping();
            return false;
        }
        // Where the two cannot be merged, the typing stays and the replaced text is
        // kept aside.
        log("⚠️ 교체되기 전 내용에 대한 편집 - 사용자 편집 유지, 교체된 내용은 사본으로 보관");
        outside_->keepTextAside();
        setText(text);  // a new generation: the page shows the replaced text and gets the user's back
        return false;
    }
    applyEdit(text);
    return true;
}

void MarkdownModel::restoreText(const QString& text)
{
    if (text == text_.text())
        return;
    keepVersionBeforeReplacing(text, NoteVersionSink::Cause::restore);
    // An edit, like a template: the page applies it as one undoable step and reports
    // it, instead of being handed a new text that would wipe its undo history.
    applyEdit(text);
    if (editorBridge_)
        editorBridge_->replaceAll(text);
}

void MarkdownModel::revealInEditor(qsizetype line, qsizetype column, qsizetype length)
{
    if (editorBridge_)
        editorBridge_->revealRange(text_.generation(), line, column, length);
}

void MarkdownModel::appendText(const QString& markdown, std::optional<qsizetype> caret)
{
    const QString piece = (text_.text().isEmpty() ? QString() : QStringLiteral("\n\n")) + markdown;
    applyEdit(text_.text() + piece);  // the page adds the block itself; its next report settles the text
    if (editorBridge_)
        editorBridge_->appendBlock(markdown, caret);
}

// --- Saving, naming, outside changes, statistics: the parts' ------------------------

void MarkdownModel::save() { saver_->save(); }

void MarkdownModel::flushPendingEdits() { saver_->flushPendingEdits(); }

void MarkdownModel::rename(const QString& proposedName) { name_->rename(proposedName); }

void MarkdownModel::saveMergingOutsideVersion()
{
    try {
        save();  // reads the file afresh and merges it in before writing
    } catch (const std::exception&) {
        // The saver retries; the outside version stays in the file meanwhile.
    }
}

void MarkdownModel::startFileMonitoring() { outside_->startMonitoring(); }

void MarkdownModel::startFocusSession() { statistics_->startFocusSession(); }

void MarkdownModel::endFocusSession()
{
    const bool external = !name_->isScratch() && !folders_->saveFolder().isEmpty() && !file_->path().isEmpty()
        && !folders_->holdsByPrefix(file_->path());
    statistics_->endFocusSession(tracker(), debugIDString().toStdString(), external);
}

std::optional<QDateTime> MarkdownModel::sessionStart() const { return statistics_->sessionStart(); }

}  // namespace flintly
