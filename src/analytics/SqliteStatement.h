#pragma once

#include <sqlite3.h>

namespace flintly::analytics {

// One prepared statement, finalised however the operation that made it ends.
struct SqliteStatement {
    sqlite3_stmt* handle = nullptr;

    SqliteStatement() = default;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement() { finalize(); }

    // The connection cannot close while a statement is alive.
    void finalize()
    {
        sqlite3_finalize(handle);
        handle = nullptr;
    }
};

}  // namespace flintly::analytics
