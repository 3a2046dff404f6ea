#include "analytics/QueueTrimmer.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/SqliteStatement.h"

#include <algorithm>

namespace flintly::analytics {

std::optional<std::pair<std::int64_t, std::int64_t>> QueueTrimmer::rowsAndBytes(sqlite3* connection,
                                                                                const std::string& table)
{
    // length() of a blob column is read from the record header, without the blob.
    const std::string sql = "SELECT COUNT(*), COALESCE(SUM(LENGTH(data)), 0) FROM " + table;
    SqliteStatement stmt;
    if (sqlite3_prepare_v2(connection, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK
        || sqlite3_step(stmt.handle) != SQLITE_ROW)
        return std::nullopt;
    return std::make_pair(sqlite3_column_int64(stmt.handle, 0), sqlite3_column_int64(stmt.handle, 1));
}

void QueueTrimmer::afterInsert(sqlite3* connection, PersistenceType type, const std::string& table,
                               std::int64_t insertedBytes)
{
    Estimate& estimate = estimates_[static_cast<int>(type)];
    if (estimate.rows >= 0) {
        estimate.rows += 1;
        estimate.bytes += insertedBytes;
        if (estimate.rows <= limits_.maxRows && estimate.bytes <= limits_.maxBytes)
            return;
    }
    const auto counted = rowsAndBytes(connection, table);
    if (!counted)
        return;
    estimate = {counted->first, counted->second};
    if (estimate.rows <= limits_.maxRows && estimate.bytes <= limits_.maxBytes)
        return;

    // Down to nine tenths, so that a full queue trims (and logs) once per many records
    // rather than at every one.
    const std::int64_t excessRows = std::max<std::int64_t>(0, estimate.rows - limits_.maxRows * 9 / 10);
    const std::int64_t excessBytes = std::max<std::int64_t>(0, estimate.bytes - limits_.maxBytes * 9 / 10);
    std::int64_t dropRows = 0;
    std::int64_t dropBytes = 0;
    {
        SqliteStatement oldest;
        const std::string sql = "SELECT LENGTH(data) FROM " + table + " ORDER BY time, id";
        if (sqlite3_prepare_v2(connection, sql.c_str(), -1, &oldest.handle, nullptr) != SQLITE_OK)
            return;
        while ((dropRows < excessRows || dropBytes < excessBytes) && sqlite3_step(oldest.handle) == SQLITE_ROW) {
            ++dropRows;
            dropBytes += sqlite3_column_int64(oldest.handle, 0);
        }
    }
    const std::string sql = "DELETE FROM " + table + " WHERE id IN (SELECT id FROM " + table
        + " ORDER BY time, id LIMIT " + std::to_string(dropRows) + ")";
    SqliteStatement drop;
    if (sqlite3_prepare_v2(connection, sql.c_str(), -1, &drop.handle, nullptr) != SQLITE_OK
        || sqlite3_step(drop.handle) != SQLITE_DONE) {
        ANALYTICS_ERROR("Failed to drop the oldest rows of table " + table);
        ANALYTICS_ERROR(sqlite3_errmsg(connection));
        return;
    }
    estimate.rows -= dropRows;
    estimate.bytes -= dropBytes;
    ANALYTICS_WARNING("Queue " + table + " is full (" + std::to_string(limits_.maxRows) + " records or "
                      + std::to_string(limits_.maxBytes) + " bytes): dropped the " + std::to_string(dropRows)
                      + " oldest records");
}

}  // namespace flintly::analytics
