#pragma once

#include <QSqlDatabase>
#include <QString>

// The record sets and the backup read through SQLite's interface on the handle of a connection
// the SQL module opened, and write through the SQL module. That is sound only while both are the
// same SQLite library: a driver with a copy of its own would have this program's calls work on
// structures of another build.
namespace hondana::sqlite {

// Whether the driver's SQLite (`driverSourceId`, what it answers to sqlite_source_id()) is the
// one this program is linked with (`linkedSourceId`).
bool sameLibrary(const QString &linkedSourceId, const QString &driverSourceId);

// The user's words for a mismatch.
QString libraryMismatchMessage(const QString &linkedSourceId, const QString &driverSourceId);

// Asks the driver of `db` (open) once per process; throws Failure when it is another SQLite.
void requireSameLibrary(const QSqlDatabase &db);

} // namespace hondana::sqlite
