#pragma once

#include <QString>
#include <QStringList>

class QSqlDatabase;
struct sqlite3;

// Tables of our own beside the catalogue's fixed ones, for data those have no column for. The
// fixed tables, views and indexes are never altered: other installations read and write them.
//
// A book is identified by BOOK's rowid. BOOK has no key of its own, and the record-set layer
// already finds every row by its rowid. Deleting a book, author or publisher deletes our rows for
// it in the same statement, by triggers every SQLite client fires.
namespace hondana::owntables {

// The version of our tables' layout, kept in VersionTable.
inline constexpr int Version = 1;

inline const QString VersionTable = QStringLiteral("hondana_version");
// One reading per book: book_rowid (BOOK's rowid), reading, origin.
inline const QString TitleReadingTable = QStringLiteral("title_reading");
// One reading per author or publisher entry: master ('CHOSHA' or 'HAKKOU'), master_rowid,
// reading, origin. Master numbers may stand twice in a list, so the rowid is the identity.
inline const QString NameReadingTable = QStringLiteral("name_reading");

// What `origin` holds: a reading the user typed or confirmed, or one the program suggested.
inline const QString OriginUser = QStringLiteral("user");
inline const QString OriginSuggested = QStringLiteral("suggested");

// The statements that create our tables and triggers in a catalogue that has none of them.
QStringList statements();

// Whether the catalogue open on `handle` has our tables.
bool present(sqlite3 *handle);

// Adds our tables to the catalogue open on `handle` when it lacks them (a catalogue from an
// older installation), in one transaction of their own; nothing else in the file changes.
// Throws Failure naming the file when it cannot, or when the file holds a newer layout.
void ensure(sqlite3 *handle);
// ensure, once per opening of a connection (a connection's name is never given again), for the
// code that uses our tables often and cannot know whether its connection was checked.
void ensureOnce(const QSqlDatabase &database);

} // namespace hondana::owntables
