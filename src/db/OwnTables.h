#pragma once

#include <QString>
#include <QStringList>

struct sqlite3;

// Tables of our own beside the catalogue's fixed ones, for data those have no column for. The
// fixed tables, views and indexes are never altered: other installations read and write them.
//
// A book is identified by BOOK's rowid. BOOK has no key of its own, and the record-set layer
// already finds every row by its rowid. Deleting a book, author or publisher deletes our rows for
// it in the same statement, by triggers every SQLite client fires.
namespace hondana::owntables {

// The version of our tables' layout, kept in VersionTable.
inline constexpr int Version = 3;

inline const QString VersionTable = QStringLiteral("hondana_version");
// One reading per book: book_rowid (BOOK's rowid), reading, origin.
inline const QString TitleReadingTable = QStringLiteral("title_reading");
// One reading per author or publisher entry: master ('CHOSHA' or 'HAKKOU'), master_rowid,
// reading, origin. Master numbers may stand twice in a list, so the rowid is the identity.
inline const QString NameReadingTable = QStringLiteral("name_reading");
// One ISBN per book (since version 2): book_rowid, isbn (the 13 digits of ISBN-13).
inline const QString BookIsbnTable = QStringLiteral("book_isbn");
// Version 3: wish list.
// Books wanted and not yet owned (since version 3): id, title, author, isbn (13 digits or NULL),
// note, priority (WishHighest .. WishLowest), added_on (yyyy-MM-dd). Its rows belong to no book.
inline const QString WishTable = QStringLiteral("wish");
inline constexpr int WishHighest = 1;
inline constexpr int WishLowest = 3;

// The books lent (since version 3): id, book_rowid, borrower (as typed), lent_on, due_on and
// returned_on (ISO dates; due_on and returned_on NULL when none). A book has at most one loan
// not returned.
inline const QString LoanTable = QStringLiteral("loan");

// Every table of ours that holds data (all but the version), for what empties them all.
inline const QStringList DataTables = {TitleReadingTable, NameReadingTable, BookIsbnTable,
                                       WishTable, LoanTable};

// What `origin` holds: a reading the user typed or confirmed, or one the program suggested.
inline const QString OriginUser = QStringLiteral("user");
inline const QString OriginSuggested = QStringLiteral("suggested");

// The statements that bring a catalogue with none of our tables, or an older layout of them, to
// this version: every table and trigger is created only where it is missing, then the version is
// written.
QStringList statements();

// Whether the catalogue open on `handle` has our tables.
bool present(sqlite3 *handle);
// Whether it has the table `name`: a catalogue of an older layout lacks the later tables, and
// what only reads does not add them.
bool hasTable(sqlite3 *handle, const QString &name);

// Adds our tables to the catalogue open on `handle` when it lacks them (a catalogue from an
// older installation) or brings an older layout of them up to this version, in one transaction
// (inside a caller's transaction, a part of it); nothing else in the file changes. Throws
// Failure naming the file when it cannot, or when the file holds a newer layout. Connections
// call it once per opening (Connection::ensureOwnTables).
void ensure(sqlite3 *handle);

} // namespace hondana::owntables
