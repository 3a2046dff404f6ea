#include "history/Sqlite.h"

#include <sqlite3.h>

#include <QFile>

#include <cerrno>

namespace flintly::history {

SqliteError::SqliteError(int code, int systemError, const std::string& message)
    : std::runtime_error(message), code_(code), systemError_(systemError)
{}

bool SqliteError::isDamage() const
{
    const int primary = code_ & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool SqliteError::isFull() const
{
    // A short write is reported as FULL; a failing flush of a full disk only as an I/O
    // error, with the reason in the system error.
    const int primary = code_ & 0xff;
    return primary == SQLITE_FULL || (primary == SQLITE_IOERR && (systemError_ == ENOSPC || systemError_ == EDQUOT));
}

// --- Database ----------------------------------------------------------------------

Database::Database(const QString& path, bool forReading)
{
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (forReading ? 0 : SQLITE_OPEN_CREATE);
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const std::string message = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw SqliteError(rc, errno, path.toStdString() + ": " + message);
    }
    sqlite3_extended_result_codes(db_, 1);
    if (forReading)
        sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    // The app and `flintly --history` may read and write at the same moment.
    sqlite3_busy_timeout(db_, 2000);
}

Database::~Database() { sqlite3_close_v2(db_); }

void Database::fail(int code) const { throw SqliteError(code, sqlite3_system_errno(db_), sqlite3_errmsg(db_)); }

void Database::exec(const char* sql)
{
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

qint64 Database::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }

qint64 Database::pragma(const char* name)
{
    Statement s(*this, (QByteArray("PRAGMA ") + name).constData());
    return s.step() ? s.integer(0) : 0;
}

// --- Statement ---------------------------------------------------------------------

Statement::Statement(Database& db, const char* sql) : db_(db)
{
    const int rc = sqlite3_prepare_v2(db.handle(), sql, -1, &handle_, nullptr);
    if (rc != SQLITE_OK)
        db_.fail(rc);
}

Statement::~Statement() { sqlite3_finalize(handle_); }

Statement& Statement::bind(int index, qint64 value)
{
    if (const int rc = sqlite3_bind_int64(handle_, index, value); rc != SQLITE_OK)
        db_.fail(rc);
    return *this;
}

Statement& Statement::bind(int index, const QString& value)
{
    const QByteArray utf8 = value.toUtf8();
    if (const int rc =
            sqlite3_bind_text(handle_, index, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
        rc != SQLITE_OK)
        db_.fail(rc);
    return *this;
}

Statement& Statement::bindBlob(int index, const QByteArray& value)
{
    // An empty blob is still a blob, not NULL.
    static const char none = 0;
    const int rc = sqlite3_bind_blob64(handle_, index, value.isEmpty() ? &none : value.constData(),
                                       static_cast<sqlite3_uint64>(value.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        db_.fail(rc);
    return *this;
}

bool Statement::step()
{
    const int rc = sqlite3_step(handle_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    sqlite3_reset(handle_);
    db_.fail(rc);
}

void Statement::run()
{
    while (step()) {}
}

void Statement::reset()
{
    sqlite3_reset(handle_);
    sqlite3_clear_bindings(handle_);
}

qint64 Statement::integer(int column) const { return sqlite3_column_int64(handle_, column); }

QString Statement::text(int column) const
{
    const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(handle_, column));
    return QString::fromUtf8(data, sqlite3_column_bytes(handle_, column));
}

QByteArray Statement::blob(int column) const
{
    const auto* data = static_cast<const char*>(sqlite3_column_blob(handle_, column));
    return QByteArray(data, sqlite3_column_bytes(handle_, column));
}

bool Statement::isNull(int column) const { return sqlite3_column_type(handle_, column) == SQLITE_NULL; }

// --- Transaction -------------------------------------------------------------------

Transaction::Transaction(Database& db) : db_(db) { db_.exec("BEGIN IMMEDIATE"); }

Transaction::~Transaction()
{
    if (!done_)
        sqlite3_exec(db_.handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transaction::commit()
{
    db_.exec("COMMIT");
    done_ = true;
}

}  // namespace flintly::history
