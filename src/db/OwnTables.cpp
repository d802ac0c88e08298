#include "db/OwnTables.h"

#include "base/Failure.h"
#include "db/SqliteStatement.h"

#include <QFileInfo>

namespace hondana::owntables {

namespace {

// A trigger per table whose rows our data belongs to. AFTER DELETE triggers run inside the
// deleting statement, so a book and its readings go together or not at all.
// Each table of ours has triggers of its own, so a later version adds a table without altering
// the triggers an older catalogue already has.
QString deleteTrigger(const QString &name, const QString &table, const QString &where) {
    return QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_owned_rows AFTER DELETE ON %2 BEGIN "
                          "DELETE FROM %3; "
                          "END")
        .arg(name, table, where);
}

QString fileName(sqlite3 *handle) {
    return QFileInfo(QString::fromUtf8(sqlite3_db_filename(handle, "main"))).fileName();
}

// That `column` holds a real date as YYYY-MM-DD text. A modifier makes date() go through the
// calendar: alone it gives '2026-02-30' back as it is.
QString isRealDate(const QString &column) {
    return QStringLiteral("date(%1, '+0 days') IS %1").arg(column);
}

int storedVersion(sqlite3 *handle, const QString &context) {
    sqlite::Statement query(handle, QStringLiteral("SELECT max(version) FROM %1").arg(VersionTable),
                            context);
    return query.step() == SQLITE_ROW ? sqlite3_column_int(query.get(), 0) : 0;
}

} // namespace

QStringList statements() {
    const QString origin = QStringLiteral("origin TEXT NOT NULL CHECK (origin IN ('%1', '%2'))")
                               .arg(OriginUser, OriginSuggested);
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (version INTEGER NOT NULL) STRICT")
            .arg(VersionTable),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (book_rowid INTEGER PRIMARY KEY, reading TEXT NOT NULL, "
            "%2) STRICT")
            .arg(TitleReadingTable, origin),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (master TEXT NOT NULL CHECK (master IN ('CHOSHA', "
            "'HAKKOU')), master_rowid INTEGER NOT NULL, reading TEXT NOT NULL, %2, "
            "PRIMARY KEY (master, master_rowid)) STRICT, WITHOUT ROWID")
            .arg(NameReadingTable, origin),
        deleteTrigger(QStringLiteral("BOOK"), QStringLiteral("BOOK"),
                      TitleReadingTable + QStringLiteral(" WHERE book_rowid = old.rowid")),
        deleteTrigger(QStringLiteral("CHOSHA"), QStringLiteral("CHOSHA"),
                      NameReadingTable +
                          QStringLiteral(" WHERE master = 'CHOSHA' AND master_rowid = old.rowid")),
        deleteTrigger(QStringLiteral("HAKKOU"), QStringLiteral("HAKKOU"),
                      NameReadingTable +
                          QStringLiteral(" WHERE master = 'HAKKOU' AND master_rowid = old.rowid")),
        // Version 2.
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (book_rowid INTEGER PRIMARY KEY, isbn TEXT "
                       "NOT NULL CHECK (length(isbn) = 13 AND isbn NOT GLOB '*[^0-9]*')) STRICT")
            .arg(BookIsbnTable),
        QStringLiteral("CREATE INDEX IF NOT EXISTS %1_by_isbn ON %1 (isbn)").arg(BookIsbnTable),
        deleteTrigger(BookIsbnTable, QStringLiteral("BOOK"),
                      BookIsbnTable + QStringLiteral(" WHERE book_rowid = old.rowid")),
        // Version 3: wish list.
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, title TEXT NOT NULL CHECK "
            "(title <> ''), author TEXT, isbn TEXT CHECK (isbn IS NULL OR (length(isbn) = 13 AND "
            "isbn NOT GLOB '*[^0-9]*')), note TEXT, priority INTEGER NOT NULL CHECK (priority "
            "BETWEEN %2 AND %3), added_on TEXT NOT NULL CHECK (added_on GLOB "
            "'[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]')) STRICT")
            .arg(WishTable)
            .arg(WishHighest)
            .arg(WishLowest),
        // Version 3: loans.
        // A loan is never returned or due before it began.
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (id INTEGER PRIMARY KEY, book_rowid INTEGER NOT NULL, "
            "borrower TEXT NOT NULL CHECK (trim(borrower) <> ''), lent_on TEXT NOT NULL CHECK "
            "(%2), due_on TEXT CHECK (due_on IS NULL OR (%3 AND due_on >= lent_on)), returned_on "
            "TEXT CHECK (returned_on IS NULL OR (%4 AND returned_on >= lent_on))) STRICT")
            .arg(LoanTable, isRealDate(QStringLiteral("lent_on")),
                 isRealDate(QStringLiteral("due_on")), isRealDate(QStringLiteral("returned_on"))),
        QStringLiteral("CREATE INDEX IF NOT EXISTS %1_by_book ON %1 (book_rowid)").arg(LoanTable),
        // Also what finds the books out now: only the loans not returned are in it.
        QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS %1_open ON %1 (book_rowid) WHERE "
                       "returned_on IS NULL")
            .arg(LoanTable),
        deleteTrigger(LoanTable, QStringLiteral("BOOK"),
                      LoanTable + QStringLiteral(" WHERE book_rowid = old.rowid")),
        QStringLiteral("DELETE FROM %1").arg(VersionTable),
        QStringLiteral("INSERT INTO %1 (version) VALUES (%2)").arg(VersionTable).arg(Version),
    };
}

bool present(sqlite3 *handle) {
    return hasTable(handle, VersionTable);
}

bool hasTable(sqlite3 *handle, const QString &name) {
    sqlite::Statement query(
        handle,
        QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = ?"),
        QStringLiteral("「%1」を読めません").arg(fileName(handle)));
    const QByteArray utf8 = name.toUtf8();
    sqlite3_bind_text(query.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    return query.step() == SQLITE_ROW && sqlite3_column_int(query.get(), 0) > 0;
}

void ensure(sqlite3 *handle) {
    const QString context =
        QStringLiteral("「%1」に読みなどの表を加えられません").arg(fileName(handle));
    const auto version = [&] { return present(handle) ? storedVersion(handle, context) : 0; };
    const int found = version();
    if (found > Version)
        throw Failure(QStringLiteral("「%1」は新しい版のプログラムで作られています"
                                     "（読みなどの表の形式 %2）。新しい版で開いてください。")
                          .arg(fileName(handle))
                          .arg(found));
    if (found == Version)
        return;
    // A write transaction from the start, so two programs opening an older file at once do not
    // both add the tables; inside a caller's transaction, a part of it.
    const bool own = sqlite3_get_autocommit(handle) != 0;
    sqlite::execute(handle, own ? "BEGIN IMMEDIATE" : "SAVEPOINT own_tables", context);
    try {
        if (version() < Version) {
            for (const QString &statement : statements())
                sqlite::execute(handle, statement.toUtf8().constData(), context);
        }
        sqlite::execute(handle, own ? "COMMIT" : "RELEASE own_tables", context);
    } catch (...) {
        sqlite3_exec(handle, own ? "ROLLBACK" : "ROLLBACK TO own_tables; RELEASE own_tables",
                     nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace hondana::owntables
