#include "maintenance/CatalogueExport.h"

#include "base/Cp932.h"
#include "base/Failure.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <QFileInfo>
#include <QHash>
#include <algorithm>

namespace hondana {

namespace {

struct JoinedName {
    const char *column;
    const char *table;
    const char *key;
    const char *readingColumn; // the exported column of the entry's reading, if it has one
};

const JoinedName JoinedNames[] = {
    {"著者名", "CHOSHA", "著者NO", "著者名読み"},
    {"発行所", "HAKKOU", "発行所NO", "発行所読み"},
    {"分野名", "BUNYA", "分野NO", nullptr},
    {"ｻｲｽﾞ名", "SAIZU", "ｻｲｽﾞNO", nullptr},
};

const char *const TitleReadingColumn = "題名読み";
const char *const IsbnColumn = "ISBN";
// The book's loan not returned, if it is out: to whom, since when, until when.
const char *const LoanColumns[] = {"貸出先", "貸出日", "返却予定日"};

const QList<schema::Column> &bookColumns() {
    return schema::table(QStringLiteral("BOOK")).columns;
}

QStringList exportedColumns() {
    QStringList columns;
    for (const schema::Column &column : bookColumns())
        columns << column.name;
    for (const JoinedName &name : JoinedNames)
        columns << QString::fromUtf8(name.column);
    // Our columns follow the fixed ones, so readers of the earlier layout find theirs in place.
    columns << QString::fromUtf8(TitleReadingColumn);
    for (const JoinedName &name : JoinedNames) {
        if (name.readingColumn)
            columns << QString::fromUtf8(name.readingColumn);
    }
    columns << QString::fromUtf8(IsbnColumn);
    for (const char *column : LoanColumns)
        columns << QString::fromUtf8(column);
    return columns;
}

// The book's columns, then its title reading, ISBN and open loan (NULL where our tables have
// none).
QString bookQuery(sqlite3 *handle, bool ownTables) {
    QStringList select;
    for (const schema::Column &column : bookColumns())
        select << QStringLiteral("BOOK.") + schema::identifier(column.name);
    QString ours = QStringLiteral(", NULL");
    QString joins;
    if (ownTables) {
        ours = QStringLiteral(", t.reading");
        joins = QStringLiteral(" LEFT JOIN %1 t ON t.book_rowid = BOOK.rowid")
                    .arg(owntables::TitleReadingTable);
    }
    if (ownTables && owntables::hasTable(handle, owntables::BookIsbnTable)) {
        ours += QStringLiteral(", i.isbn");
        joins += QStringLiteral(" LEFT JOIN %1 i ON i.book_rowid = BOOK.rowid")
                     .arg(owntables::BookIsbnTable);
    } else {
        ours += QStringLiteral(", NULL");
    }
    if (ownTables && owntables::hasTable(handle, owntables::LoanTable)) {
        ours += QStringLiteral(", l.borrower, l.lent_on, l.due_on");
        joins += QStringLiteral(" LEFT JOIN %1 l ON l.book_rowid = BOOK.rowid AND l.returned_on "
                                "IS NULL")
                     .arg(owntables::LoanTable);
    } else {
        ours += QStringLiteral(", NULL, NULL, NULL");
    }
    // The register's order, which one index holds with every column.
    return QStringLiteral("SELECT %1%2 FROM BOOK%3 ORDER BY BOOK.[著者NO], BOOK.[題名], "
                          "BOOK.[SEQNO]")
        .arg(select.join(u", "), ours, joins);
}

// One master list by number. The lists are small next to the books, and looking a name up here
// is far cheaper than a subquery per book. A number that stands twice keeps its first name, so a
// book is never repeated.
class MasterNames {
public:
    MasterNames(sqlite3 *handle, const JoinedName &name, bool ownTables, const QString &cannotRead)
        : m_keyColumn(int(std::find_if(bookColumns().begin(), bookColumns().end(),
                                       [&](const schema::Column &c) {
                                           return c.name == QString::fromUtf8(name.key);
                                       }) -
                          bookColumns().begin())) {
        const QString reading =
            ownTables && name.readingColumn
                ? QStringLiteral("(SELECT reading FROM %1 WHERE master = '%2' AND master_rowid = "
                                 "m.rowid)")
                      .arg(owntables::NameReadingTable, QString::fromUtf8(name.table))
                : QStringLiteral("NULL");
        sqlite::Statement query(
            handle,
            QStringLiteral("SELECT %1, %2, %3 FROM %4 m WHERE %1 IS NOT NULL ORDER BY rowid")
                .arg(schema::identifier(QString::fromUtf8(name.key)),
                     schema::identifier(QString::fromUtf8(name.column)), reading,
                     QString::fromUtf8(name.table)),
            cannotRead);
        const auto bytes = [&](int column) {
            const auto *text =
                reinterpret_cast<const char *>(sqlite3_column_text(query.get(), column));
            return QByteArray(text, text ? sqlite3_column_bytes(query.get(), column) : 0);
        };
        // First in rowid order, as the stored queries and the register find it.
        while (query.step() == SQLITE_ROW) {
            const qint64 number = sqlite3_column_int64(query.get(), 0);
            if (m_names.contains(number))
                continue;
            m_names.insert(number, bytes(1));
            m_readings.insert(number, bytes(2));
        }
    }

    // The name for the book on `statement`'s current row; empty when it has none.
    QByteArrayView nameFor(sqlite3_stmt *statement) const {
        if (sqlite3_column_type(statement, m_keyColumn) == SQLITE_NULL)
            return {};
        const auto found = m_names.constFind(sqlite3_column_int64(statement, m_keyColumn));
        return found == m_names.constEnd() ? QByteArrayView() : QByteArrayView(*found);
    }
    QByteArrayView readingFor(sqlite3_stmt *statement) const {
        if (sqlite3_column_type(statement, m_keyColumn) == SQLITE_NULL)
            return {};
        const auto found = m_readings.constFind(sqlite3_column_int64(statement, m_keyColumn));
        return found == m_readings.constEnd() ? QByteArrayView() : QByteArrayView(*found);
    }

private:
    int m_keyColumn;
    QHash<qint64, QByteArray> m_names;
    QHash<qint64, QByteArray> m_readings;
};

int bookColumnCount() {
    return int(bookColumns().size());
}

qint64 bookCount(sqlite3 *handle, const QString &cannotRead) {
    sqlite::Statement count(handle, QStringLiteral("SELECT count(*) FROM BOOK"), cannotRead);
    return count.step() == SQLITE_ROW ? sqlite3_column_int64(count.get(), 0) : 0;
}

// The line in the chosen encoding; the book's number and column name a character code page 932
// cannot hold.
QByteArray encoded(const QByteArray &line, CsvEncoding encoding, qint64 book,
                   const QStringList &columns, const QList<QByteArray> &fields) {
    if (encoding == CsvEncoding::Utf8)
        return line;
    try {
        return cp932::encode(QString::fromUtf8(line));
    } catch (const Failure &) {
        for (qsizetype i = 0; i < fields.size(); ++i) {
            QString unencodable;
            if (cp932::byteLength(QString::fromUtf8(fields[i]), &unencodable) < 0)
                throw Failure(
                    QStringLiteral("%1 冊目の本の「%2」の文字「%3」は cp932 で表せません。"
                                   "UTF-8 で書き出してください。")
                        .arg(book)
                        .arg(columns[i], unencodable));
        }
        throw;
    }
}

} // namespace

void appendCsvField(QByteArray &line, QByteArrayView field) {
    bool quote = false;
    for (char c : field) {
        if (c == ',' || c == '"' || c == '\n' || c == '\r') {
            quote = true;
            break;
        }
    }
    if (!quote) {
        line.append(field);
        return;
    }
    line.append('"');
    for (char c : field) {
        if (c == '"')
            line.append('"');
        line.append(c);
    }
    line.append('"');
}

QByteArray csvTable(const QStringList &columns, const QList<QStringList> &rows) {
    QByteArray csv("\xEF\xBB\xBF");
    const auto appendRow = [&csv](const QStringList &fields) {
        for (qsizetype i = 0; i < fields.size(); ++i) {
            if (i > 0)
                csv.append(',');
            appendCsvField(csv, fields[i].toUtf8());
        }
        csv.append("\r\n");
    };
    appendRow(columns);
    for (const QStringList &row : rows)
        appendRow(row);
    return csv;
}

QStringList wishListColumns() {
    return {QStringLiteral("優先度"), QStringLiteral("題名"), QStringLiteral("著者"),
            QStringLiteral("ISBN"),   QStringLiteral("メモ"), QStringLiteral("追加日")};
}

QList<QStringList> wishListRows(const QList<Wish> &wishes) {
    QList<QStringList> rows;
    for (const Wish &wish : wishes)
        rows.append({QString::number(wish.priority), wish.title, wish.author, wish.isbn.digits(),
                     wish.note, wish.addedOn.toString(QStringLiteral("yyyy/MM/dd"))});
    return rows;
}

QByteArray wishListCsv(const QList<Wish> &wishes) {
    return csvTable(wishListColumns(), wishListRows(wishes));
}

qint64 exportCatalogue(const QString &connectionString, const QString &folder, CsvEncoding encoding,
                       const CsvSink &sink, const Progress &progress) {
    Connection connection(connectionString, folder);
    connection.open();
    sqlite3 *handle = sqlite::handleOf(connection.database());
    const QString cannotRead =
        QStringLiteral("「%1」を読めません").arg(QFileInfo(connection.filePath()).fileName());
    // One read transaction: the count and the rows describe the same moment.
    sqlite::execute(handle, "BEGIN", cannotRead);
    struct EndRead {
        sqlite3 *handle;
        ~EndRead() { sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr); }
    } endRead{handle};

    const QStringList columns = exportedColumns();
    QByteArray line;
    QList<QByteArray> fields(columns.size());
    for (qsizetype i = 0; i < columns.size(); ++i) {
        fields[i] = columns[i].toUtf8();
        if (i > 0)
            line.append(',');
        appendCsvField(line, fields[i]);
    }
    line.append("\r\n");
    sink(encoded(line, encoding, 0, columns, fields));

    const qint64 total = bookCount(handle, cannotRead);
    const bool ownTables = owntables::present(handle);
    QList<MasterNames> masters;
    for (const JoinedName &name : JoinedNames)
        masters.append(MasterNames(handle, name, ownTables, cannotRead));
    sqlite::Statement query(handle, bookQuery(handle, ownTables), cannotRead);
    const int joinedEnd = bookColumnCount() + int(std::size(JoinedNames));
    // The ISBN and the loan's columns close the line, in the query's order.
    const int isbnAt = int(columns.size() - std::size(LoanColumns)) - 1;
    qint64 books = 0;
    int result;
    while ((result = query.step()) == SQLITE_ROW) {
        line.clear();
        for (int i = 0; i < int(columns.size()); ++i) {
            QByteArrayView field;
            if (i < bookColumnCount()) {
                field = sqlite::columnBytes(query.get(), i);
            } else if (i < joinedEnd) {
                field = masters[i - bookColumnCount()].nameFor(query.get());
            } else if (i == joinedEnd) {
                field = sqlite::columnBytes(query.get(), bookColumnCount());
            } else if (i >= isbnAt) {
                field = sqlite::columnBytes(query.get(), bookColumnCount() + 1 + (i - isbnAt));
            } else {
                field = masters[i - joinedEnd - 1].readingFor(query.get());
            }
            if (i > 0)
                line.append(',');
            appendCsvField(line, field);
            if (encoding == CsvEncoding::Cp932)
                fields[i] = field.toByteArray();
        }
        line.append("\r\n");
        ++books;
        sink(encoded(line, encoding, books, columns, fields));
        if ((books & 1023) == 0)
            progress.report(books, total);
    }
    if (sqlite::Statement::failed(result))
        throw Failure(cannotRead + QStringLiteral(": ") + sqlite::lastError(handle));
    progress.report(books, total);
    return books;
}

} // namespace hondana
