#include "analytics/AnalyticsDB.h"

#include "analytics/AnalyticsLogger.h"
#include "analytics/AnalyticsPaths.h"
#include "analytics/SqliteStatement.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>

namespace flintly::analytics {

namespace {

std::string lettersAndDigits(const std::string& name)
{
    std::string out;
    for (unsigned char c : name) {
        if (std::isalnum(c))
            out.push_back(static_cast<char>(c));
    }
    return out;
}

double nowSeconds()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

AnalyticsDB::AnalyticsDB(const std::string& name, std::string cacheDirectory, QueueLimits limits)
    : apiToken_(lettersAndDigits(name)), cacheDirectory_(std::move(cacheDirectory)), trimmer_(limits)
{
    open();
}

AnalyticsDB::~AnalyticsDB()
{
    std::lock_guard lock(mutex_);
    if (connection_) {
        sqlite3_close(connection_);
        connection_ = nullptr;
    }
}

std::string AnalyticsDB::tableName(PersistenceType type) const
{
    return "analytics_" + apiToken_ + "_" + rawValue(type);
}

std::string AnalyticsDB::path() const
{
    if (cacheDirectory_.empty())
        return {};
    return cacheDirectory_ + "/" + apiToken_ + "_" + DB_FILE_NAME;
}

bool AnalyticsDB::isOpen() const
{
    std::lock_guard lock(mutex_);
    return connection_ != nullptr;
}

void AnalyticsDB::open()
{
    std::lock_guard lock(mutex_);
    openLocked();
}

void AnalyticsDB::close()
{
    std::lock_guard lock(mutex_);
    closeLocked();
}

void AnalyticsDB::openLocked()
{
    if (apiToken_.empty()) {
        ANALYTICS_ERROR("Project token must not be empty. Database cannot be opened.");
        return;
    }
    const std::string dbPath = path();
    if (dbPath.empty())
        return;
    makeDirectories(cacheDirectory_);
    if (sqlite3_open_v2(dbPath.c_str(), &connection_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr)
        != SQLITE_OK) {
        logSqlError("Error opening or creating database at path: " + dbPath);
        closeLocked();
        return;
    }
    ANALYTICS_INFO("Successfully opened connection to database at path: " + dbPath);

    {
        SqliteStatement pragma;
        if (sqlite3_prepare_v2(connection_, "PRAGMA journal_mode=WAL;", -1, &pragma.handle, nullptr) != SQLITE_OK) {
            logSqlError("PRAGMA journal_mode=WAL statement could not be prepared");
        } else if (sqlite3_step(pragma.handle) == SQLITE_ROW) {
            const auto* mode = reinterpret_cast<const char*>(sqlite3_column_text(pragma.handle, 0));
            ANALYTICS_INFO(std::string("SQLite journal mode set to ") + (mode ? mode : ""));
        } else {
            logSqlError("Failed to enable journal_mode=WAL");
        }
    }
    for (auto type : {PersistenceType::Events, PersistenceType::People, PersistenceType::Groups})
        createTableLocked(type);
}

void AnalyticsDB::createTableLocked(PersistenceType type)
{
    if (!connection_)
        return;
    const std::string table = tableName(type);
    {
        const std::string sql = "CREATE TABLE IF NOT EXISTS " + table
            + "(id integer primary key autoincrement,data blob,time real,flag integer);";
        SqliteStatement stmt;
        if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK)
            logSqlError("CREATE statement for table " + table + " could not be prepared");
        else if (sqlite3_step(stmt.handle) == SQLITE_DONE)
            ANALYTICS_INFO(table + " table created");
        else
            logSqlError(table + " table create failed");
    }
    if (!connection_)
        return;
    const std::string index = "idx_" + table + "_time";
    const std::string sql = "CREATE INDEX IF NOT EXISTS " + index + " ON " + table + " (time);";
    SqliteStatement stmt;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK)
        logSqlError("CREATE statement for index " + index + " could not be prepared");
    else if (sqlite3_step(stmt.handle) == SQLITE_DONE)
        ANALYTICS_INFO(index + " index created");
    else
        logSqlError(index + " index creation failed");
}

void AnalyticsDB::closeLocked()
{
    sqlite3_close(connection_);
    connection_ = nullptr;
    ANALYTICS_INFO("Connection to database closed.");
}

bool AnalyticsDB::ensureConnectionLocked()
{
    if (connection_)
        return true;
    ANALYTICS_WARNING("No database connection found. Calling AnalyticsDB.open()");
    openLocked();
    return false;
}

void AnalyticsDB::logSqlError(const std::string& message)
{
    if (!connection_) {
        ANALYTICS_WARNING("No database connection found. Calling AnalyticsDB.open()");
        openLocked();
        return;
    }
    if (!message.empty())
        ANALYTICS_ERROR(message);
    ANALYTICS_ERROR(sqlite3_errmsg(connection_));
}

bool AnalyticsDB::failureNeedsRecreate(int code) const
{
    switch (code & 0xff) {
    case SQLITE_FULL:
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_INTERRUPT:
        // Deleting the file would throw away every queued record and would not make
        // the disk any less full nor the lock any sooner free: drop only this write.
        return false;
    default: return true;
    }
}

void AnalyticsDB::recreateLocked()
{
    if (connection_)
        closeLocked();
    const std::string dbPath = path();
    std::error_code ec;
    if (!dbPath.empty() && std::filesystem::exists(dbPath, ec)) {
        if (std::filesystem::remove(dbPath, ec))
            ANALYTICS_INFO("Deleted database file at path: " + dbPath);
        else
            ANALYTICS_ERROR("Unable to remove database file at path: " + dbPath + ", error: " + ec.message());
    }
    // A log left behind from the old file would be replayed into the new one.
    std::filesystem::remove(dbPath + "-wal", ec);
    std::filesystem::remove(dbPath + "-shm", ec);
    ANALYTICS_WARNING("No database connection found. Calling AnalyticsDB.open()");
    openLocked();
}

bool AnalyticsDB::insertRow(PersistenceType type, const std::string& data, bool flag)
{
    std::lock_guard lock(mutex_);
    if (!ensureConnectionLocked())
        return false;
    const std::string table = tableName(type);
    const std::string sql = "INSERT INTO " + table + " (data, flag, time) VALUES(?, ?, ?);";
    SqliteStatement stmt;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK) {
        logSqlError("INSERT statement for table " + table + " could not be prepared");
        recreateLocked();
        return false;
    }
    sqlite3_bind_blob(stmt.handle, 1, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int(stmt.handle, 2, flag ? 1 : 0);
    sqlite3_bind_double(stmt.handle, 3, nowSeconds());
    const int rc = sqlite3_step(stmt.handle);
    if (rc == SQLITE_DONE) {
        ANALYTICS_INFO("Successfully inserted row into table " + table);
        stmt.finalize();
        trimmer_.afterInsert(connection_, type, table, static_cast<std::int64_t>(data.size()));
        return true;
    }
    logSqlError("Failed to insert row into table " + table);
    if (failureNeedsRecreate(rc)) {
        stmt.finalize();
        recreateLocked();
    }
    return false;
}

bool AnalyticsDB::deleteRows(PersistenceType type, const std::vector<std::int64_t>& ids, bool isDeleteAll)
{
    std::lock_guard lock(mutex_);
    if (!ensureConnectionLocked())
        return false;
    const std::string table = tableName(type);
    std::string sql = "DELETE FROM " + table;
    if (!isDeleteAll) {
        sql += " WHERE id IN (";
        for (size_t i = 0; i < ids.size(); ++i) {
            if (i > 0)
                sql += ",";
            sql += std::to_string(ids[i]);
        }
        sql += ")";
    }
    SqliteStatement stmt;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK) {
        logSqlError("DELETE statement for table " + table + " could not be prepared");
        recreateLocked();
        return false;
    }
    const int rc = sqlite3_step(stmt.handle);
    if (rc == SQLITE_DONE) {
        ANALYTICS_INFO("Successfully deleted rows from table " + table);
        return true;
    }
    logSqlError("Failed to delete rows from table " + table);
    if (failureNeedsRecreate(rc)) {
        stmt.finalize();
        recreateLocked();
    }
    return false;
}

bool AnalyticsDB::updateRowsFlag(PersistenceType type, bool newFlag)
{
    std::lock_guard lock(mutex_);
    if (!ensureConnectionLocked())
        return false;
    const std::string table = tableName(type);
    const std::string sql = "UPDATE " + table + " SET flag = " + (newFlag ? "true" : "false")
        + " where flag = " + (newFlag ? "false" : "true");
    SqliteStatement stmt;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK) {
        logSqlError("UPDATE statement for table " + table + " could not be prepared");
        recreateLocked();
        return false;
    }
    const int rc = sqlite3_step(stmt.handle);
    if (rc == SQLITE_DONE) {
        ANALYTICS_INFO("Successfully updated rows from table " + table);
        return true;
    }
    logSqlError("Failed to update rows from table " + table);
    if (failureNeedsRecreate(rc)) {
        stmt.finalize();
        recreateLocked();
    }
    return false;
}

std::vector<nlohmann::json> AnalyticsDB::readRows(PersistenceType type, std::int64_t numRows, bool flag)
{
    std::vector<nlohmann::json> rows;
    std::lock_guard lock(mutex_);
    if (!ensureConnectionLocked())
        return rows;
    const std::string table = tableName(type);
    std::string sql = "SELECT id, data FROM " + table + " WHERE flag = " + (flag ? "1" : "0") + " ORDER BY time";
    if (numRows != kAllRows)
        sql += " LIMIT " + std::to_string(numRows);
    SqliteStatement stmt;
    if (sqlite3_prepare_v2(connection_, sql.c_str(), -1, &stmt.handle, nullptr) != SQLITE_OK) {
        logSqlError("SELECT statement for table " + table + " could not be prepared");
        recreateLocked();
        return rows;
    }
    int rc;
    while ((rc = sqlite3_step(stmt.handle)) == SQLITE_ROW) {
        const void* blob = sqlite3_column_blob(stmt.handle, 1);
        const int size = sqlite3_column_bytes(stmt.handle, 1);
        if (!blob) {
            logSqlError("No blob found in data column for row in " + table);
            continue;
        }
        nlohmann::json object = nlohmann::json::parse(static_cast<const char*>(blob),
                                                      static_cast<const char*>(blob) + size, nullptr, false);
        if (object.is_discarded() || !object.is_object()) {
            ANALYTICS_WARNING("exception decoding object data");
            continue;
        }
        object["id"] = sqlite3_column_int64(stmt.handle, 0);
        rows.push_back(std::move(object));
    }
    if (rc != SQLITE_DONE) {
        // A damaged file stops the scan part-way; those rows would otherwise be
        // reported as the whole queue.
        logSqlError("Failed to read rows from table " + table);
        if (failureNeedsRecreate(rc)) {
            stmt.finalize();
            recreateLocked();
        }
        return {};
    }
    ANALYTICS_INFO("Successfully read " + std::to_string(rows.size()) + " from table " + table);
    return rows;
}

}  // namespace flintly::analytics
