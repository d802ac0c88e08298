#pragma once

#include <QSqlDatabase>
#include <QString>

namespace hondana {

// One connection to a database file in the working folder, opened from a connection string.
// Every open connection is registered, so that restore and the version upgrade can release a
// file before they replace it (see closeAllConnectionsTo).
class Connection {
public:
    // Relative names (the data source, a data-link file) are resolved against `folder`, the
    // current directory when empty.
    explicit Connection(const QString &connectionString = {}, const QString &folder = {});
    ~Connection();
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void setConnectionString(const QString &connectionString);
    QString connectionString() const { return m_connectionString; }

    // Opens the file the connection string names. A missing file is an error, never a new
    // empty database; so is a file that is not a database. Throws Failure. Opening an open
    // connection does nothing.
    void open();
    void close();
    bool isOpen() const;

    // The absolute path of the open file; empty while closed.
    QString filePath() const { return m_filePath; }
    // The open database; invalid while closed.
    QSqlDatabase database() const;
    // Copies the open database, as one state of it, into a new file at `path`. Throws Failure.
    void copyTo(const QString &path) const;

    // Adds our tables to the open catalogue, or brings them up to this version, the first time
    // code that keeps data in them asks on this opening (see OwnTables.h). Nothing is written on
    // opening itself, so read-only files and the files that are not the catalogue open as they
    // are. Throws Failure, and asks again next time.
    void ensureOwnTables();

private:
    QString m_connectionString;
    QString m_folder;
    QString m_name;
    QString m_filePath;
    bool m_ownTablesChecked = false;
};

// Opens the database file at `path` directly (no connection string), for the core operations
// that work on a file they were given. The returned name is a QSqlDatabase connection name;
// close it with closeDatabase. Throws Failure when the file is missing or not a database.
QString openDatabaseFile(const QString &path, const QString &purpose);
void closeDatabase(const QString &connectionName);

// Closes every registered connection whose file is `path` (compared as canonical paths).
void closeAllConnectionsTo(const QString &path);

// How many registered connections hold `path` open; for checks before a file is replaced.
int openConnectionCount(const QString &path);

// A Japanese description of an engine error a user can act on.
QString describeSqlError(const QString &driverText);

} // namespace hondana
