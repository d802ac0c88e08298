#include "catalogue/IsbnsInNumbers.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "catalogue/StoredIsbns.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/SqliteStatement.h"

namespace hondana {

namespace {

const char *const NumberColumns[] = {"管理番号1", "管理番号2", "請求番号"};

QString numbersUnreadable() {
    return QStringLiteral("管理番号・請求番号の ISBN を読めません");
}

// Most of these columns hold shelf marks and the like; only a text with the digits of an ISBN is
// worth the full check.
bool mayBeIsbn(const QString &text) {
    const auto digits =
        std::count_if(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
    return digits >= 9 && text.size() <= 40;
}

} // namespace

QList<IsbnInNumbers> findIsbnsInNumbers(Connection &connection) {
    sqlite3 *handle = sqlite::handleOf(connection.database());
    // A catalogue whose tables of ours predate ISBNs has none stored.
    const QString withoutIsbn =
        owntables::hasTable(handle, owntables::BookIsbnTable)
            ? QStringLiteral(" WHERE NOT EXISTS (SELECT 1 FROM %1 i WHERE i.book_rowid = "
                             "b.rowid)")
                  .arg(owntables::BookIsbnTable)
            : QString();
    QStringList columns;
    for (const char *column : NumberColumns)
        columns << QStringLiteral("b.[%1]").arg(QString::fromUtf8(column));
    sqlite::Statement query(handle,
                            QStringLiteral("SELECT b.rowid, %1 FROM BOOK b%2 ORDER BY b.rowid")
                                .arg(columns.join(QStringLiteral(", ")), withoutIsbn),
                            numbersUnreadable());
    QList<IsbnInNumbers> found;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        for (int i = 0; i < int(std::size(NumberColumns)); ++i) {
            const QString text = sqlite::columnText(query.get(), i + 1);
            if (!mayBeIsbn(text))
                continue;
            if (const Isbn isbn = Isbn::tryFromText(text); !isbn.isEmpty()) {
                found.append({sqlite3_column_int64(query.get(), 0),
                              QString::fromUtf8(NumberColumns[i]), isbn});
                break;
            }
        }
    }
    if (sqlite::Statement::failed(result))
        throw Failure(numbersUnreadable() + QStringLiteral(": ") + sqlite::lastError(handle));
    return found;
}

int copyIsbnsFromNumbers(Connection &connection) {
    StoredIsbns isbns(connection);
    sqlite3 *handle = sqlite::handleOf(connection.database());
    const QString cannotCopy = QStringLiteral("ISBN を写せません");
    // Found inside the transaction, so what is copied is what the catalogue holds.
    sqlite::execute(handle, "BEGIN IMMEDIATE", cannotCopy);
    try {
        const QList<IsbnInNumbers> found = findIsbnsInNumbers(connection);
        for (const IsbnInNumbers &book : found)
            isbns.store(book.bookRowId, book.isbn);
        faultpoint("copy-isbn.commit");
        sqlite::execute(handle, "COMMIT", cannotCopy);
        faultpoint("copy-isbn.committed");
        return int(found.size());
    } catch (...) {
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace hondana
