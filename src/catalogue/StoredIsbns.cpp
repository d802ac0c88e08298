#include "catalogue/StoredIsbns.h"

#include "base/Failure.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"

namespace hondana {

namespace {

QString isbnUnreadable() {
    return QStringLiteral("ISBN を読み出せません");
}
QString isbnUnwritable() {
    return QStringLiteral("ISBN を保存できません");
}

void bindIsbnDigits(sqlite3_stmt *statement, int index, const Isbn &isbn) {
    const QByteArray digits = isbn.digits().toLatin1();
    sqlite3_bind_text(statement, index, digits.constData(), int(digits.size()), SQLITE_TRANSIENT);
}

// Isbn accepts what its own digits spell, so a value another program wrote that is not an ISBN
// reads as none rather than as a wrong number.
Isbn storedIsbnAt(sqlite3_stmt *statement, int column) {
    return Isbn::tryFromText(
        QString::fromLatin1(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                            sqlite3_column_bytes(statement, column)));
}

void finishIsbnStep(int result, sqlite3 *handle, const QString &context) {
    if (sqlite::Statement::failed(result))
        throw Failure(context + QStringLiteral(": ") + sqlite::lastError(handle));
}

} // namespace

StoredIsbns::StoredIsbns(Connection &connection) : m_connection(connection) {
    connection.ensureOwnTables();
}

Isbn StoredIsbns::forBook(qint64 bookRowId) const {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    sqlite::Statement query(
        handle,
        QStringLiteral("SELECT isbn FROM %1 WHERE book_rowid = ?").arg(owntables::BookIsbnTable),
        isbnUnreadable());
    sqlite3_bind_int64(query.get(), 1, bookRowId);
    const int result = query.step();
    finishIsbnStep(result, handle, isbnUnreadable());
    return result == SQLITE_ROW ? storedIsbnAt(query.get(), 0) : Isbn();
}

void StoredIsbns::store(qint64 bookRowId, const Isbn &isbn) {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    if (isbn.isEmpty()) {
        sqlite::Statement remove(
            handle,
            QStringLiteral("DELETE FROM %1 WHERE book_rowid = ?").arg(owntables::BookIsbnTable),
            isbnUnwritable());
        sqlite3_bind_int64(remove.get(), 1, bookRowId);
        finishIsbnStep(remove.step(), handle, isbnUnwritable());
        return;
    }
    storeAll({{bookRowId, isbn}});
}

void StoredIsbns::storeAll(const QList<std::pair<qint64, Isbn>> &isbns) {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    // One statement: the book's presence and the write are one step of the caller's transaction.
    sqlite::Statement upsert(handle,
                             QStringLiteral("INSERT OR REPLACE INTO %1 (book_rowid, isbn) SELECT "
                                            "rowid, ?2 FROM BOOK WHERE rowid = ?1")
                                 .arg(owntables::BookIsbnTable),
                             isbnUnwritable());
    for (const auto &[bookRowId, isbn] : isbns) {
        sqlite3_bind_int64(upsert.get(), 1, bookRowId);
        bindIsbnDigits(upsert.get(), 2, isbn);
        finishIsbnStep(upsert.step(), handle, isbnUnwritable());
        if (sqlite3_changes(handle) == 0)
            throw Failure(QStringLiteral("%1: この本は「BOOK」にもうありません（ほかの画面で削除"
                                         "されたようです）。")
                              .arg(isbnUnwritable()));
        upsert.reset();
    }
}

QList<qint64> StoredIsbns::booksWith(const Isbn &isbn) const {
    QList<qint64> books;
    if (isbn.isEmpty())
        return books;
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    sqlite::Statement query(handle,
                            QStringLiteral("SELECT book_rowid FROM %1 WHERE isbn = ? ORDER BY "
                                           "book_rowid")
                                .arg(owntables::BookIsbnTable),
                            isbnUnreadable());
    bindIsbnDigits(query.get(), 1, isbn);
    int result;
    while ((result = query.step()) == SQLITE_ROW)
        books.append(sqlite3_column_int64(query.get(), 0));
    finishIsbnStep(result, handle, isbnUnreadable());
    return books;
}

QHash<qint64, Isbn> StoredIsbns::all() const {
    sqlite3 *handle = sqlite::handleOf(m_connection.database());
    sqlite::Statement query(
        handle, QStringLiteral("SELECT book_rowid, isbn FROM %1").arg(owntables::BookIsbnTable),
        isbnUnreadable());
    QHash<qint64, Isbn> all;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        const Isbn isbn = storedIsbnAt(query.get(), 1);
        if (!isbn.isEmpty())
            all.insert(sqlite3_column_int64(query.get(), 0), isbn);
    }
    finishIsbnStep(result, handle, isbnUnreadable());
    return all;
}

} // namespace hondana
