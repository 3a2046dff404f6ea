#pragma once

#include "document/ModelFixture.h"
#include "history/HistoryStore.h"
#include "history/NoteHistory.h"

#include <QRandomGenerator>

namespace flintly::test {

// A model that reports to a real history in its own folder; the test reads the store
// back through a second connection, as `flintly --history` does.
class HistoryFixture : public ModelFixture {
protected:
    void SetUp() override
    {
        ModelFixture::SetUp();
        options.folder = home.filePath(QStringLiteral("History"));
    }

    void TearDown() override
    {
        model.reset();
        history.reset();
    }

    MarkdownModel& makeModelWithHistory()
    {
        history = std::make_unique<history::NoteHistory>(options);
        versions = history.get();
        return makeModel();
    }

    // The versions of the note at `path`, newest first, once the history has caught up.
    std::vector<history::VersionInfo> versionsOf(const QString& path)
    {
        history->drain();
        history::HistoryStore store(options);
        if (!store.openExisting())
            return {};
        const auto note = store.findNote(path);
        return note ? store.versions(*note) : std::vector<history::VersionInfo>{};
    }

    QByteArray bytesOf(qint64 version)
    {
        history->drain();
        history::HistoryStore store(options);
        store.open();
        return store.bytesOf(version).value_or(QByteArray("<missing>"));
    }

    static QStringList reasons(const std::vector<history::VersionInfo>& versions)
    {
        QStringList out;
        for (const auto& v : versions)
            out.append(v.reason);
        return out;
    }

    history::HistoryStore::Options options;
    std::unique_ptr<history::NoteHistory> history;
};

// Text that does not compress, so sizes in the store are predictable.
inline QByteArray noise(qsizetype bytes, quint32 seed)
{
    QRandomGenerator random(seed);
    QByteArray out(bytes, Qt::Uninitialized);
    for (char& c : out)
        c = static_cast<char>('a' + random.bounded(26));
    return out;
}

}  // namespace flintly::test
