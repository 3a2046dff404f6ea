#include "history/NoteHistory.h"

#include "core/SerialQueue.h"
#include "history/Sqlite.h"
#include "history/VersionContent.h"
#include "platform/Log.h"
#include "platform/MainThread.h"

#include <QFile>
#include <QPointer>

#include <exception>

namespace flintly::history {

namespace {
QByteArray digestOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return content::digest(file.readAll());
}
}  // namespace

NoteHistory::NoteHistory(HistoryStore::Options options)
    : store_(std::move(options)), queue_(std::make_unique<SerialQueue>("History", SerialQueue::Priority::Utility))
{}

NoteHistory::~NoteHistory() { queue_.reset(); }

void NoteHistory::drain() { queue_->drain(); }

// --- What the note reports (GUI thread: queue and return) ---------------------------

void NoteHistory::noteSaving(const Save& save)
{
    queue_->async([this, save] { run([&](HistoryStore& store) { takeVersionsAtSave(store, save); }); });
}

void NoteHistory::noteReplacing(const Replacement& replacement)
{
    queue_->async([this, replacement] { run([&](HistoryStore& store) { takeVersionBefore(store, replacement); }); });
}

void NoteHistory::noteMoved(const QString& from, const QString& to)
{
    queue_->async([this, from, to] { run([&](HistoryStore& store) { store.moveNote(from, to); }); });
}

// --- Taking versions (history thread) -----------------------------------------------

void NoteHistory::takeVersionsAtSave(HistoryStore& store, const Save& save)
{
    const Content written(content::bytesOf(save.text, save.byteOrderMark));
    std::optional<Content> before;
    if (!save.lastSaved.isNull())
        before.emplace(content::bytesOf(save.lastSaved, save.byteOrderMark));
    const qint64 note = save.firstSave
        ? store.startNote(save.path)
        : store.noteAt(save.path, [&] { return before ? before->hash() : QByteArray(); });

    // On a full disk a large version may not fit where a small one still does: each is
    // tried, and the first failure is reported once they all were.
    std::exception_ptr failure;
    auto keep = [&](const Content& content, const QString& why) {
        try {
            store.addVersion(note, content, why, save.when);
        } catch (const SqliteError& e) {
            if (!e.isFull())
                throw;
            if (!failure)
                failure = std::current_exception();
        }
    };
    if (!store.newestVersion(note)) {
        // A note made elsewhere keeps what it held before Flintly first wrote it.
        if (before && before->bytes() != written.bytes())
            keep(*before, reason::opened);
        keep(written, reason::firstSave);
    } else {
        // A select-all and a keystroke must never take the saved text with it.
        if (before && rules::removesMuch(before->bytes(), written.bytes()))
            keep(*before, reason::beforeDeletion);
        const auto newest = store.newestVersion(note);
        if (newest->time.msecsTo(save.when) >= rules::kIntervalMs)
            keep(written, reason::interval);
    }
    store.setDigest(note, written.hash());
    store.prune(save.when);
    if (failure)
        std::rethrow_exception(failure);
}

void NoteHistory::takeVersionBefore(HistoryStore& store, const Replacement& replacement)
{
    const Content current(content::bytesOf(replacement.text, replacement.byteOrderMark));
    const qint64 note = store.noteAt(replacement.path, [&] { return current.hash(); });
    const bool restoring = replacement.cause == Cause::restore;
    store.addVersion(note, current, restoring ? reason::beforeRestore : reason::beforeOutsideChange, replacement.when);
    // Another program's version is what the file holds now; a restore reaches the file
    // with the next save.
    if (!restoring)
        store.setDigest(note, content::digest(content::bytesOf(replacement.incoming, replacement.byteOrderMark)));
    store.prune(replacement.when);
}

// --- The store's troubles (history thread) ------------------------------------------

void NoteHistory::run(const std::function<void(HistoryStore&)>& work)
{
    for (int attempt = 0;; ++attempt) {
        try {
            store_.open();
            work(store_);
            if (!trouble_.isEmpty()) {
                trouble_.clear();
                log("✅ 노트 기록 저장소를 다시 쓸 수 있음:", store_.path());
            }
            return;
        } catch (const SqliteError& e) {
            if (e.isDamage() && attempt == 0 && !setAside_) {
                setAside_ = true;
                const QString aside = store_.setAside(QDateTime::currentDateTime());
                log("🗄️ 노트 기록 저장소가 손상되어 따로 보관하고 새로 시작:", aside);
                continue;
            }
            if (e.isFull())
                report(QStringLiteral("full"),
                       QStringLiteral("🚨 디스크가 가득 차서 노트 기록을 남기지 못함 (노트 저장은 "
                                      "계속됨): %1")
                           .arg(store_.path()));
            else
                report(QString::number(e.code()),
                       QStringLiteral("🚨 노트 기록 저장소를 쓸 수 없음: %1 - %2")
                           .arg(store_.path(), QString::fromUtf8(e.what())));
            if (e.isDamage())
                store_.close();
            return;
        }
    }
}

void NoteHistory::report(const QString& trouble, const QString& line)
{
    // Once per trouble, not once per save: a full disk stays full for a while.
    if (trouble == trouble_)
        return;
    trouble_ = trouble;
    log(line);
}

// --- Questions of the history window ------------------------------------------------

template <typename T>
void NoteHistory::ask(QObject* context, std::function<void(T)> done, std::function<T(HistoryStore&)> question)
{
    // Checked on the GUI thread, where the context lives and dies.
    QPointer<QObject> guard(context);
    queue_->async([this, guard, done = std::move(done), question = std::move(question)]() mutable {
        T found{};
        run([&](HistoryStore& store) { found = question(store); });
        runOnMainThread([guard, done = std::move(done), found = std::move(found)]() mutable {
            if (guard)
                done(std::move(found));
        });
    });
}

void NoteHistory::versionsOf(const QString& path, QObject* context, std::function<void(NoteVersions)> done)
{
    ask<NoteVersions>(context, std::move(done), [path](HistoryStore& store) {
        NoteVersions found;
        found.note = store.findNote(path);
        if (!found.note)
            found.note = store.findNote(path, digestOfFile(path));
        if (found.note)
            found.versions = store.versions(*found.note);
        return found;
    });
}

void NoteHistory::versionsOfNote(qint64 note, QObject* context, std::function<void(std::vector<VersionInfo>)> done)
{
    ask<std::vector<VersionInfo>>(context, std::move(done),
                                  [note](HistoryStore& store) { return store.versions(note); });
}

void NoteHistory::deletedNotes(QObject* context, std::function<void(std::vector<NoteInfo>)> done)
{
    ask<std::vector<NoteInfo>>(context, std::move(done), [](HistoryStore& store) { return store.deletedNotes(); });
}

void NoteHistory::bytesOf(qint64 version, QObject* context, std::function<void(std::optional<QByteArray>)> done)
{
    ask<std::optional<QByteArray>>(context, std::move(done),
                                   [version](HistoryStore& store) { return store.bytesOf(version); });
}

}  // namespace flintly::history
