#pragma once

#include "analytics/AnalyticsTypes.h"

#include <cstdint>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace flintly::analytics {

// How much one table may hold. Records wait here while there is no server URL or the
// server keeps failing; past either limit the oldest go, so the queue cannot fill the
// disk of a user who will never be online with a working server.
struct QueueLimits {
    std::int64_t maxRows = 10'000;
    std::int64_t maxBytes = 20 * 1024 * 1024;
};

// The durable record queue: one SQLite file per project token with a table per
// PersistenceType. Rows are JSON objects; a read adds the row id as "id" so the flusher
// can delete exactly what the server accepted.
class AnalyticsDB {
public:
    static constexpr const char* DB_FILE_NAME = "AnalyticsDB.sqlite";
    // A read with this maximum has no LIMIT clause.
    static constexpr std::int64_t kAllRows = std::numeric_limits<std::int64_t>::max();

    // `name` is filtered to letters and digits; the file lives in `cacheDirectory`
    // (created when missing).
    AnalyticsDB(const std::string& name, std::string cacheDirectory, QueueLimits limits = {});
    ~AnalyticsDB();

    AnalyticsDB(const AnalyticsDB&) = delete;
    AnalyticsDB& operator=(const AnalyticsDB&) = delete;

    void open();
    void close();

    // Each returns whether the statement completed; failures are logged, never thrown.
    bool insertRow(PersistenceType type, const std::string& data, bool flag);
    bool deleteRows(PersistenceType type, const std::vector<std::int64_t>& ids, bool isDeleteAll = false);
    bool updateRowsFlag(PersistenceType type, bool newFlag);
    // Oldest first, each object with "id" added.
    std::vector<nlohmann::json> readRows(PersistenceType type, std::int64_t numRows, bool flag);

    const std::string& apiToken() const { return apiToken_; }
    std::string tableName(PersistenceType type) const;
    // Empty when there is no cache folder.
    std::string path() const;
    bool isOpen() const;

    // The raw handle, for tests that need to provoke SQLite failures (a full disk).
    sqlite3* connectionForTesting() { return connection_; }

private:
    void openLocked();
    void closeLocked();
    void recreateLocked();
    bool ensureConnectionLocked();
    void logSqlError(const std::string& message);
    // Whether a failed write leaves the file unusable (worth deleting) rather than
    // failing for a passing reason such as a full disk or a busy lock.
    bool failureNeedsRecreate(int code) const;
    void createTableLocked(PersistenceType type);
    // After an insert: when the table may have outgrown a limit, counts it and drops
    // the oldest rows down to nine tenths of the limit, with one log line.
    void enforceLimitsLocked(PersistenceType type, std::int64_t insertedBytes);
    std::optional<std::pair<std::int64_t, std::int64_t>> rowsAndBytesLocked(const std::string& table);

    std::string apiToken_;
    std::string cacheDirectory_;
    // Both client queues (tracking writes, network reads and deletes) share this handle,
    // and a failed write closes and reopens it; the mutex keeps one thread from using a
    // handle that the other has just closed.
    mutable std::mutex mutex_;
    sqlite3* connection_ = nullptr;
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
