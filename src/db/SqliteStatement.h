#pragma once

#include "base/Progress.h"

#include <QByteArrayView>
#include <QSqlDatabase>
#include <QString>
#include <sqlite3.h>

// Backup and restore walk every row of the catalogue; through the SQL module each value costs
// several allocations and a placeholder name, so these two go to SQLite directly, on the
// connection the SQL module opened (same library, same file, same rules for opening).
namespace hondana::sqlite {

// The SQLite handle of an open QSQLITE connection. Throws Failure when there is none.
sqlite3 *handleOf(const QSqlDatabase &db);

// The engine's last message on `handle`, in words a user can act on.
QString lastError(sqlite3 *handle);

// Runs statements without results. Throws Failure starting with `context`.
void execute(sqlite3 *handle, const char *sql, const QString &context);

// What a connection's file held when it looked: commits by any other connection (or program)
// and by this one change it; equal versions mean nothing was written in between.
struct Version {
    qint64 byOthers = -1;
    qint64 byThis = -1;
    bool operator==(const Version &) const = default;
};
Version versionOf(sqlite3 *handle);

// SQLite's online backup of the open database `source` into a new file at `target`, without a
// journal (the caller flushes or discards it as a whole). The copy is one state of the
// database, even when another connection writes meanwhile. Throws Failure with the engine's
// reason; a copy cut short is left for the caller to remove.
void copyDatabase(sqlite3 *source, const QString &target, const Progress &progress = {});

// A text column of the current row, as UTF-8 decoded; empty for null.
inline QString columnText(sqlite3_stmt *statement, int column) {
    return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                             sqlite3_column_bytes(statement, column));
}

// A text column of the current row as stored, without copying it; empty for null. Valid until
// the statement steps on.
inline QByteArrayView columnBytes(sqlite3_stmt *statement, int column) {
    return {reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
            sqlite3_column_bytes(statement, column)};
}

// One prepared statement, finalized on destruction.
class Statement {
public:
    // Throws Failure starting with `context`.
    Statement(sqlite3 *handle, const QString &sql, const QString &context);
    ~Statement();
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *get() const { return m_statement; }
    // SQLite's result: SQLITE_ROW, SQLITE_DONE, or an error (see lastError).
    int step() { return sqlite3_step(m_statement); }
    void reset() { sqlite3_reset(m_statement); }
    static bool failed(int result) { return result != SQLITE_ROW && result != SQLITE_DONE; }

private:
    sqlite3_stmt *m_statement = nullptr;
};

// Reports progress while SQLite works through long statements (a DELETE of a whole table, an
// integrity check), whose amount of work is not known beforehand. Removed again on destruction.
class ProgressHandler {
public:
    ProgressHandler(sqlite3 *handle, const Progress &progress);
    ~ProgressHandler();
    ProgressHandler(const ProgressHandler &) = delete;
    ProgressHandler &operator=(const ProgressHandler &) = delete;

private:
    static int tick(void *self);

    sqlite3 *m_handle;
    const Progress &m_progress;
    qint64 m_ticks = 0;
};

} // namespace hondana::sqlite
