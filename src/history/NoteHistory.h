#pragma once

#include "document/NoteVersionSink.h"
#include "history/HistoryStore.h"

#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace flintly {
class SerialQueue;
}

namespace flintly::history {

// The local history of every note: takes the versions the note's saves and
// replacements call for, on a thread of its own ("History"), so neither typing nor a
// save ever waits for the disk or for compression. A store that turns out damaged is
// set aside and a new one started; one that cannot be written (a full disk) costs
// versions, never a save, and is logged once until it works again.
class NoteHistory final : public NoteVersionSink {
public:
    explicit NoteHistory(HistoryStore::Options options = {});
    // Finishes what is queued.
    ~NoteHistory() override;

    void noteSaving(const Save& save) override;
    void noteReplacing(const Replacement& replacement) override;
    void noteMoved(const QString& from, const QString& to) override;

    // For the history window. Each answer comes on the GUI thread, unless `context` is
    // gone by then.
    struct NoteVersions {
        std::optional<qint64> note;  // none: the history knows no note at that path
        std::vector<VersionInfo> versions;
    };
    void versionsOf(const QString& path, QObject* context, std::function<void(NoteVersions)> done);
    void versionsOfNote(qint64 note, QObject* context, std::function<void(std::vector<VersionInfo>)> done);
    void deletedNotes(QObject* context, std::function<void(std::vector<NoteInfo>)> done);
    void bytesOf(qint64 version, QObject* context, std::function<void(std::optional<QByteArray>)> done);

    // Waits until everything queued before it is done.
    void drain();

private:
    // On the history thread: opens the store when needed, runs `work`, and deals with
    // a damaged or full store.
    void run(const std::function<void(HistoryStore&)>& work);
    void takeVersionsAtSave(HistoryStore& store, const Save& save);
    void takeVersionBefore(HistoryStore& store, const Replacement& replacement);
    void report(const QString& trouble, const QString& line);
    template <typename T>
    void ask(QObject* context, std::function<void(T)> done, std::function<T(HistoryStore&)> question);

    HistoryStore store_;                  // history thread only
    QString trouble_;                     // what was last logged as failing; empty while all is well
    bool setAside_ = false;               // a second damaged store in one run is not the file's fault
    std::unique_ptr<SerialQueue> queue_;  // last: it is stopped (and drained) first
};

}  // namespace flintly::history
