#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>

struct sqlite3;
struct sqlite3_stmt;

namespace flintly::history {

// A failed SQLite call: its extended result code, the system's errno where SQLite
// kept one, and the connection's message.
class SqliteError : public std::runtime_error {
public:
    SqliteError(int code, int systemError, const std::string& message);
    int code() const { return code_; }
    // The file is not a database, or its pages do not hold together.
    bool isDamage() const;
    // Nothing more fits on the disk (or under the quota, or under the page limit).
    bool isFull() const;

private:
    int code_;
    int systemError_;
};

class Database;

// One prepared statement, finalised with its owner. Binding and reading use 1-based
// parameter and 0-based column numbers, as SQLite does.
class Statement {
public:
    Statement(Database& db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    Statement& bind(int index, qint64 value);
    Statement& bind(int index, const QString& value);
    Statement& bindBlob(int index, const QByteArray& value);
    // True while there is a row to read; throws on failure.
    bool step();
    // Runs a statement that returns no rows.
    void run();
    void reset();

    qint64 integer(int column) const;
    QString text(int column) const;
    QByteArray blob(int column) const;
    bool isNull(int column) const;

private:
    Database& db_;
    sqlite3_stmt* handle_ = nullptr;
};

// A connection to one database file, used from one thread.
class Database {
public:
    // Opens the file, creating it unless `forReading`; throws SqliteError. A connection
    // for reading leaves the journal to the app: closing it costs no checkpoint.
    explicit Database(const QString& path, bool forReading = false);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    void exec(const char* sql);
    qint64 lastInsertId() const;
    qint64 pragma(const char* name);
    sqlite3* handle() const { return db_; }
    [[noreturn]] void fail(int code) const;

private:
    sqlite3* db_ = nullptr;
};

// Rolls back unless committed.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();

private:
    Database& db_;
    bool done_ = false;
};

}  // namespace flintly::history
