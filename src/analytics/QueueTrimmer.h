#pragma once

#include "analytics/AnalyticsTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

struct sqlite3;

namespace flintly::analytics {

// How much one table may hold. Records wait here while there is no server URL or the
// server keeps failing; past either limit the oldest go, so the queue cannot fill the
// disk of a user who will never be online with a working server.
struct QueueLimits {
    std::int64_t maxRows = 10'000;
    std::int64_t maxBytes = 20 * 1024 * 1024;
};

// Keeps each record table within its QueueLimits. Used under the database's lock, on
// the connection it holds.
class QueueTrimmer {
public:
    explicit QueueTrimmer(QueueLimits limits) : limits_(limits) {}

    // After a row of `insertedBytes` went into `table`: when the table may have outgrown
    // a limit, counts it and drops the oldest rows down to nine tenths of the limit, with
    // one log line.
    void afterInsert(sqlite3* connection, PersistenceType type, const std::string& table, std::int64_t insertedBytes);

private:
    static std::optional<std::pair<std::int64_t, std::int64_t>> rowsAndBytes(sqlite3* connection,
                                                                             const std::string& table);

    const QueueLimits limits_;
    // Per table: the size at the last count plus what was inserted since; never below
    // the truth (deletes only lower it), so counting is needed only near a limit.
    struct Estimate {
        std::int64_t rows = -1;  // -1: not counted yet
        std::int64_t bytes = 0;
    };
    Estimate estimates_[3];
};

}  // namespace flintly::analytics
