// How long versions stay: the days kept, the cap on the whole store, and the newest
// versions of every note that neither ever takes.
#include "history/HistoryStore.h"

#include "history/Sqlite.h"

#include <limits>

namespace flintly::history {

namespace {
constexpr qint64 kAgePruneEveryMs = 60 * 60 * 1000;

// Versions that are not among their note's newest, oldest first.
constexpr const char* kDroppable = "SELECT id, content FROM ("
                                   " SELECT id, content, time, ROW_NUMBER() OVER"
                                   " (PARTITION BY note ORDER BY time DESC, id DESC) AS rank FROM versions)"
                                   " WHERE rank > ? AND time < ? ORDER BY time, id";

std::vector<std::pair<qint64, qint64>> droppable(Database& db, qint64 before)
{
    std::vector<std::pair<qint64, qint64>> found;
    Statement s(db, kDroppable);
    s.bind(1, rules::kNewestAlwaysKept).bind(2, before);
    while (s.step())
        found.emplace_back(s.integer(0), s.integer(1));
    return found;
}
}  // namespace

qint64 HistoryStore::usedBytes()
{
    return (db_->pragma("page_count") - db_->pragma("freelist_count")) * db_->pragma("page_size");
}

void HistoryStore::prune(const QDateTime& now)
{
    // The clock may have been set back; the age rule then waits for no one.
    const bool ageDue = !lastAgePrune_ || now < *lastAgePrune_ || lastAgePrune_->msecsTo(now) >= kAgePruneEveryMs;
    if (!ageDue && usedBytes() <= options_.capBytes)
        return;
    Transaction t(*db_);
    if (ageDue)
        dropVersions(droppable(*db_, now.addDays(-rules::kDaysKept).toMSecsSinceEpoch()), false);
    if (usedBytes() > options_.capBytes)
        dropVersions(droppable(*db_, std::numeric_limits<qint64>::max()), true);
    t.commit();
    if (ageDue)
        lastAgePrune_ = now;
    // The freed pages go back to the disk.
    db_->exec("PRAGMA incremental_vacuum");
}

void HistoryStore::dropVersions(const std::vector<std::pair<qint64, qint64>>& victims, bool untilUnderCap)
{
    Statement dropVersion(*db_, "DELETE FROM versions WHERE id = ?");
    Statement dropContent(*db_,
                          "DELETE FROM contents WHERE id = ?1 AND NOT EXISTS"
                          " (SELECT 1 FROM versions WHERE content = ?1)");
    for (const auto& [version, content] : victims) {
        dropVersion.reset();
        dropVersion.bind(1, version).run();
        dropContent.reset();
        dropContent.bind(1, content).run();
        if (untilUnderCap && usedBytes() <= options_.capBytes)
            return;
    }
}

}  // namespace flintly::history
