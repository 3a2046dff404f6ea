#pragma once

#include "analytics/AnalyticsTypes.h"
#include "analytics/QueueTrimmer.h"

#include <cstdint>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

struct sqlite3;

namespace flintly::analytics {

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

    std::string apiToken_;
    std::string cacheDirectory_;
    // Both client queues (tracking writes, network reads and deletes) share this handle,
    // and a failed write closes and reopens it; the mutex keeps one thread from using a
    // handle that the other has just closed.
    mutable std::mutex mutex_;
    sqlite3* connection_ = nullptr;
    QueueTrimmer trimmer_;
};

}  // namespace flintly::analytics
