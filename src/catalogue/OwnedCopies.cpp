#include "catalogue/OwnedCopies.h"

#include "base/Failure.h"
#include "catalogue/StoredIsbns.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/SqliteStatement.h"
#include "db/TextFolding.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace hondana {

namespace {

QString ownedCopyUnreadable() {
    return QStringLiteral("同じ本があるか調べられません");
}

void failOn(sqlite3 *handle, int result) {
    if (sqlite::Statement::failed(result))
        throw Failure(ownedCopyUnreadable() + QStringLiteral(": ") + sqlite::lastError(handle));
}

// An author list's numbers whose entry folds to `foldedName`. A number that stands twice in the
// list is known by its first entry, as the register's lookup shows it.
QList<qint64> authorNumbersNamed(sqlite3 *handle, const QString &foldedName) {
    sqlite::Statement authors(
        handle,
        QStringLiteral("SELECT [著者NO], [著者名] FROM CHOSHA WHERE [著者NO] IS NOT NULL "
                       "ORDER BY rowid"),
        ownedCopyUnreadable());
    QSet<qint64> seen;
    QList<qint64> named;
    int result;
    while ((result = authors.step()) == SQLITE_ROW) {
        const qint64 number = sqlite3_column_int64(authors.get(), 0);
        if (seen.contains(number))
            continue;
        seen.insert(number);
        const QString name = sqlite::columnText(authors.get(), 1);
        if (folding::equals(folding::withoutPadding(name), foldedName))
            named << number;
    }
    failOn(handle, result);
    return named;
}

QString authorName(sqlite3 *handle, const QVariant &number) {
    if (number.isNull())
        return {};
    sqlite::Statement query(
        handle,
        QStringLiteral("SELECT [著者名] FROM CHOSHA WHERE [著者NO] = ? ORDER BY rowid LIMIT 1"),
        ownedCopyUnreadable());
    sqlite3_bind_int64(query.get(), 1, number.toLongLong());
    const int result = query.step();
    failOn(handle, result);
    return result == SQLITE_ROW ? sqlite::columnText(query.get(), 0) : QString();
}

constexpr const char *BookColumns = "rowid, [題名], [ｼﾘｰｽﾞ], SEQNO, [著者NO]";

OwnedCopy copyAt(sqlite3 *handle, sqlite3_stmt *row, OwnedCopy::Reason reason) {
    OwnedCopy copy;
    copy.rowId = sqlite3_column_int64(row, 0);
    copy.reason = reason;
    copy.title = sqlite::columnText(row, 1).trimmed();
    copy.volume = sqlite::columnText(row, 2).trimmed();
    copy.seqNo = sqlite3_column_int(row, 3);
    if (sqlite3_column_type(row, 4) != SQLITE_NULL)
        copy.author = authorName(handle, sqlite3_column_int64(row, 4)).trimmed();
    return copy;
}

std::optional<OwnedCopy> sameIsbn(Connection &connection, const BookIdentity &book,
                                  const QList<qint64> &ignored) {
    if (book.isbn.isEmpty())
        return std::nullopt;
    for (const qint64 rowId : StoredIsbns(connection).booksWith(book.isbn)) {
        if (ignored.contains(rowId))
            continue;
        sqlite3 *handle = sqlite::handleOf(connection.database());
        sqlite::Statement query(
            handle, QStringLiteral("SELECT %1 FROM BOOK WHERE rowid = ?").arg(BookColumns),
            ownedCopyUnreadable());
        sqlite3_bind_int64(query.get(), 1, rowId);
        const int result = query.step();
        failOn(handle, result);
        if (result == SQLITE_ROW)
            return copyAt(handle, query.get(), OwnedCopy::Reason::SameIsbn);
    }
    return std::nullopt;
}

// Books of the same author only: BOOK's index of the register's order begins with the author's
// number, so each look is a short walk of that index.
std::optional<OwnedCopy> sameTitle(Connection &connection, const BookIdentity &book,
                                   const QList<qint64> &ignored) {
    const QString key = sameBookKey(book.title, book.volume, book.seqNo, book.author);
    if (folding::foldedKey(book.title).isEmpty())
        return std::nullopt;
    sqlite3 *handle = sqlite::handleOf(connection.database());
    const QString foldedAuthor = folding::foldedKey(book.author);
    QList<qint64> numbers = authorNumbersNamed(handle, foldedAuthor);
    if (book.authorNo && !numbers.contains(*book.authorNo))
        numbers << *book.authorNo;
    QStringList conditions;
    for (const qint64 number : std::as_const(numbers))
        conditions << QStringLiteral("[著者NO] = %1").arg(number);
    if (foldedAuthor.isEmpty())
        conditions << QStringLiteral("[著者NO] IS NULL");
    std::optional<OwnedCopy> first;
    for (const QString &condition : std::as_const(conditions)) {
        sqlite::Statement query(
            handle, QStringLiteral("SELECT %1 FROM BOOK WHERE %2").arg(BookColumns, condition),
            ownedCopyUnreadable());
        int result;
        while ((result = query.step()) == SQLITE_ROW) {
            const qint64 rowId = sqlite3_column_int64(query.get(), 0);
            if (ignored.contains(rowId) || (first && first->rowId < rowId))
                continue;
            if (sameBookKey(sqlite::columnText(query.get(), 1), sqlite::columnText(query.get(), 2),
                            sqlite3_column_int(query.get(), 3), book.author) == key)
                first = copyAt(handle, query.get(), OwnedCopy::Reason::SameTitle);
        }
        failOn(handle, result);
    }
    return first;
}

} // namespace

BookIdentity identityOfCurrentBook(Connection &connection, const RecordSet &books) {
    BookIdentity book;
    book.title = books.value(QStringLiteral("題名")).toString();
    book.volume = books.value(QStringLiteral("ｼﾘｰｽﾞ")).toString();
    book.seqNo = books.value(QStringLiteral("SEQNO")).toInt();
    const QVariant authorNo = books.value(QStringLiteral("著者NO"));
    book.author = authorName(sqlite::handleOf(connection.database()), authorNo);
    if (!authorNo.isNull())
        book.authorNo = authorNo.toLongLong();
    const QVariant isbn = books.companionValue(BookIdentity::IsbnField);
    if (!isbn.isNull())
        book.isbn = Isbn::fromText(isbn.toString());
    return book;
}

QString sameBookKey(const QString &title, const QString &volume, int seqNo, const QString &author) {
    const QChar separator(0x1f);
    return folding::foldedKey(title) + separator + folding::foldedKey(volume) + separator +
           QString::number(seqNo) + separator + folding::foldedKey(author);
}

QString OwnedCopy::question() const {
    QString book = QStringLiteral("「%1").arg(title);
    if (!volume.isEmpty())
        book += QStringLiteral(" %1").arg(volume);
    book += QStringLiteral("」");
    if (seqNo != 0)
        book += QStringLiteral(" 通し番号 %1").arg(seqNo);
    if (!author.isEmpty())
        book += QStringLiteral("（%1）").arg(author);
    const QString why = reason == Reason::SameIsbn
                            ? QStringLiteral("ISBN が同じです。")
                            : QStringLiteral("題名・巻・通し番号・著者名が同じです。");
    return QStringLiteral("この本はもう登録されています:\n%1\n%2\n\nそれでも登録しますか？")
        .arg(book, why);
}

std::optional<OwnedCopy> findOwnedCopy(Connection &connection, const BookIdentity &book,
                                       const QList<qint64> &ignored) {
    connection.ensureOwnTables();
    if (std::optional<OwnedCopy> byIsbn = sameIsbn(connection, book, ignored))
        return byIsbn;
    return sameTitle(connection, book, ignored);
}

} // namespace hondana
