#include "db/BookQueries.h"

#include "base/Failure.h"
#include "db/CatalogueRows.h"
#include "db/ComposedRows.h"
#include "db/Connection.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"

#include <QDate>
#include <QHash>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

namespace hondana {

namespace childcommands {

const QString ByCategory = QStringLiteral(
    "select BOOK.購入日, BOOK.題名, BOOK.ｼﾘｰｽﾞ, BOOK.SEQNO, CHOSHA.著者名, HAKKOU.発行所, "
    "BUNYA.分野名, BOOK.管理番号1, BOOK.管理番号2, BOOK.請求番号,BOOK.分野NO \r\n"
    "FROM ((BUNYA RIGHT JOIN BOOK ON BUNYA.分野NO = BOOK.分野NO) LEFT JOIN CHOSHA ON BOOK.著者NO "
    "= CHOSHA.著者NO) LEFT JOIN HAKKOU ON BOOK.発行所NO = HAKKOU.発行所NO\r\n"
    "WHERE (((BOOK.題名) Is Not Null)) ORDER BY BOOK.題名, BOOK.SEQNO ");
const QString ByAuthor = QStringLiteral(
    "select BOOK.購入日, BOOK.題名, BOOK.ｼﾘｰｽﾞ, BOOK.SEQNO, CHOSHA.著者名, HAKKOU.発行所, "
    "BUNYA.分野名, BOOK.管理番号1, BOOK.管理番号2, BOOK.請求番号,BOOK.著者NO \r\n"
    "FROM BOOK, BUNYA, CHOSHA, HAKKOU\r\n"
    "WHERE (((BOOK.分野NO)=[BUNYA].[分野NO]) AND ((BOOK.著者NO)=[CHOSHA].[著者NO]) AND "
    "((BOOK.発行所NO)=[HAKKOU].[発行所NO])) ORDER BY BOOK.題名,BOOK.題名, BOOK.SEQNO ");
const QString ByPublisher = QStringLiteral(
    "select BOOK.購入日, BOOK.題名, BOOK.ｼﾘｰｽﾞ, BOOK.SEQNO, CHOSHA.著者名, HAKKOU.発行所, "
    "BUNYA.分野名, BOOK.管理番号1, BOOK.管理番号2, BOOK.請求番号,BOOK.発行所NO \r\n"
    "FROM BOOK, BUNYA, CHOSHA, HAKKOU\r\n"
    "WHERE (((BOOK.分野NO)=[BUNYA].[分野NO]) AND ((BOOK.著者NO)=[CHOSHA].[著者NO]) AND "
    "((BOOK.発行所NO)=[HAKKOU].[発行所NO])) ORDER BY BOOK.題名  ");

} // namespace childcommands

namespace {

using Part = CatalogueRows::Part;

// How a query finds a book's entries in one master list.
enum class Match {
    Unused,
    // The first entry of the number by rowid, or none: one row per book (a look-up per book).
    First,
    // Every entry of the number; a book without one is left out (an inner join).
    Every,
    // Every entry of the number, or one row without (an outer join).
    EveryOrNone,
};

enum class Books { Every, Unread, Titled };

struct BookQuery {
    QStringList columns; // BOOK's or a master's, bare or "TABLE.column"
    Match matches[Part::PartCount];
    Books books;
    QStringList order; // BOOK's columns
};

BookQuery childQuery(const QString &sql, Match match, Books books, const QStringList &order) {
    const qsizetype from = sql.indexOf(QStringLiteral("FROM"));
    QStringList columns = sql.left(from).mid(int(qstrlen("select "))).split(QLatin1Char(','));
    for (QString &column : columns)
        column = column.trimmed();
    return {columns, {Match::Unused, match, match, match, Match::Unused}, books, order};
}

const QList<std::pair<QString, BookQuery>> &childQueries() {
    const auto bookColumns = [](const char *list) {
        return QString::fromUtf8(list).split(QLatin1Char(' '));
    };
    static const QList<std::pair<QString, BookQuery>> queries = {
        {childcommands::ByCategory.simplified(),
         childQuery(childcommands::ByCategory, Match::EveryOrNone, Books::Titled,
                    bookColumns("題名 SEQNO"))},
        {childcommands::ByAuthor.simplified(),
         childQuery(childcommands::ByAuthor, Match::Every, Books::Every,
                    bookColumns("題名 題名 SEQNO"))},
        {childcommands::ByPublisher.simplified(),
         childQuery(childcommands::ByPublisher, Match::Every, Books::Every, bookColumns("題名"))},
    };
    return queries;
}

// The stored query `name` stands for, while the file's view is still the one described.
std::optional<BookQuery> storedQuery(sqlite3 *db, const QString &name) {
    for (const schema::StoredQuery &query : schema::storedQueries()) {
        if (query.name.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        sqlite::Statement view(db,
                               QStringLiteral("SELECT sql FROM sqlite_schema WHERE type = 'view' "
                                              "AND name = ?1 COLLATE NOCASE"),
                               QStringLiteral("表の一覧を読めません"));
        const QByteArray utf8 = query.name.toUtf8();
        sqlite3_bind_text(view.get(), 1, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
        if (view.step() != SQLITE_ROW ||
            QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(view.get(), 0)))
                    .simplified() != schema::createView(query).simplified())
            return std::nullopt;
        QStringList columns = query.columns;
        const qsizetype names = columns.indexOf(QStringLiteral("*"));
        columns.remove(names);
        const QStringList masters = schema::masterNameColumns();
        for (qsizetype i = masters.size() - 1; i >= 0; --i)
            columns.insert(names, masters.at(i));
        return BookQuery{columns,
                         {Match::Unused, Match::First, Match::First, Match::First, Match::First},
                         query.condition == schema::BookCondition::Unread ? Books::Unread
                                                                          : Books::Every,
                         query.order};
    }
    return std::nullopt;
}

// UTF-16 orders the characters past U+FFFF (surrogate pairs) before U+E000..U+FFFF; the engine
// compares UTF-8 bytes, which is code point order. A unit moved so that its order is theirs.
char16_t codePointOrdered(char16_t unit) {
    if (unit < 0xD800)
        return unit;
    return unit >= 0xE000 ? char16_t(unit - 0x800) : char16_t(unit + 0x2000);
}

// The engine's order of two values under the binary collation: nulls first, then numbers by
// value, then texts by their characters' code points (dates are stored as "YYYY-MM-DD").
class ValueOrder {
public:
    explicit ValueOrder(const RecordStorage &rows) : m_rows(rows) {}

    int compare(const Cell &a, const Cell &b) const {
        if (a.type == Cell::Text && b.type == Cell::Text)
            return compareBytes(m_rows.utf8(a), m_rows.utf8(b));
        if (a.type == b.type && (a.type == Cell::Integer || a.type == Cell::Date))
            return a.value < b.value ? -1 : a.value > b.value ? 1 : 0;
        return compareValues(m_rows.toVariant(a), m_rows.toVariant(b));
    }

private:
    static int rank(const QVariant &v) {
        if (v.isNull())
            return 0;
        switch (v.typeId()) {
        case QMetaType::LongLong:
        case QMetaType::Double:
            return 1;
        case QMetaType::QString:
        case QMetaType::QDate:
            return 2;
        default:
            return 3;
        }
    }

    static QString textOf(const QVariant &v) {
        return v.typeId() == QMetaType::QDate ? v.toDate().toString(Qt::ISODate) : v.toString();
    }

    // The rare mixed cases: a number past 32 bits, a real, a date beside a text.
    static int compareValues(const QVariant &a, const QVariant &b) {
        const int ranks = rank(a) - rank(b);
        if (ranks != 0 || rank(a) == 0 || rank(a) == 3)
            return ranks;
        if (rank(a) == 1) {
            if (a.typeId() == QMetaType::LongLong && b.typeId() == QMetaType::LongLong)
                return a.toLongLong() < b.toLongLong() ? -1 : a.toLongLong() > b.toLongLong();
            return a.toDouble() < b.toDouble() ? -1 : a.toDouble() > b.toDouble() ? 1 : 0;
        }
        return compareCodePoints(textOf(a), textOf(b));
    }

    // UTF-8 bytes in byte order are code points in code point order.
    static int compareBytes(QByteArrayView a, QByteArrayView b) {
        const int c = std::memcmp(a.data(), b.data(), size_t(std::min(a.size(), b.size())));
        if (c != 0)
            return c;
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }

    static int compareCodePoints(QStringView a, QStringView b) {
        const qsizetype n = std::min(a.size(), b.size());
        for (qsizetype i = 0; i < n; ++i) {
            if (a[i] != b[i])
                return codePointOrdered(a[i].unicode()) < codePointOrdered(b[i].unicode()) ? -1 : 1;
        }
        return a.size() < b.size() ? -1 : a.size() > b.size() ? 1 : 0;
    }

    const RecordStorage &m_rows;
};

bool isShown(const Books books, const RecordStorage &rows, int row, int title, int stamp) {
    switch (books) {
    case Books::Every:
        return true;
    case Books::Titled:
        return rows.cell(row, title).type != Cell::Null;
    case Books::Unread: {
        const Cell &c = rows.cell(row, stamp);
        if (c.type == Cell::Null)
            return true;
        if (c.type != Cell::Text)
            return false;
        QByteArrayView text = rows.utf8(c);
        while (text.endsWith(' '))
            text.chop(1);
        return text.isEmpty() || text == QByteArrayView("未");
    }
    }
    return false;
}

// A master list's entries by number, in rowid order.
QHash<qint64, std::vector<qint32>> entriesByNumber(const CatalogueRows::Table &master,
                                                   const QString &number) {
    QHash<qint64, std::vector<qint32>> entries;
    const int column = master.fields.indexOf(number);
    for (int row = 0; row < master.rows->rows(); ++row) {
        const Cell &c = master.rows->cell(row, column);
        if (c.type == Cell::Integer)
            entries[c.value].push_back(row);
    }
    return entries;
}

// The part and column a result column shows: "TABLE.column", or a bare name of BOOK's or, failing
// that, of a master's.
ComposedRows::Column resolve(const CatalogueRows &rows, const QString &name) {
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    const QString table = dot < 0 ? QString() : name.left(dot);
    const QString column = dot < 0 ? name : name.mid(dot + 1);
    for (int part = 0; part < Part::PartCount; ++part) {
        if (!table.isEmpty() &&
            table.compare(CatalogueRows::tableOf(Part(part)), Qt::CaseInsensitive) != 0)
            continue;
        const int index = rows.parts[part].fields.indexOf(column);
        if (index >= 0)
            return {part, index};
    }
    throw Failure(QStringLiteral("列「%1」がありません。").arg(name));
}

QString bareName(const QString &name) {
    return name.mid(name.indexOf(QLatin1Char('.')) + 1);
}

// A sort key of one column that decides most comparisons in one integer compare: its rank
// among nulls, numbers, dates and texts, then the number, the day or a text's first seven UTF-8
// bytes. Equal keys leave the decision to the full comparison. A column holding more than
// one kind besides nulls gets no keys.
class LeadingKeys {
public:
    LeadingKeys(const RecordStorage &books, int column) : m_keys(size_t(books.rows()), 0) {
        Cell::Type kind = Cell::Null;
        for (int book = 0; book < books.rows(); ++book) {
            const Cell &c = books.cell(book, column);
            if (c.type == Cell::Null)
                continue;
            if (kind != Cell::Null && c.type != kind) {
                std::fill(m_keys.begin(), m_keys.end(), 0);
                return;
            }
            kind = c.type;
            m_keys[size_t(book)] = keyOf(books, c);
        }
    }
    quint64 operator[](qint32 book) const { return m_keys[size_t(book)]; }

private:
    static quint64 keyOf(const RecordStorage &books, const Cell &c) {
        switch (c.type) {
        case Cell::Integer:
        case Cell::Date:
            return (quint64(1) << 62) |
                   quint64(qint64(c.value) - std::numeric_limits<qint32>::min());
        case Cell::Text: {
            const QByteArrayView text = books.utf8(c);
            quint64 key = quint64(2) << 62;
            for (qsizetype i = 0; i < 7; ++i) {
                const quint8 byte = i < text.size() ? quint8(text[i]) : 0;
                key |= quint64(byte) << (48 - 8 * i);
            }
            return key;
        }
        default:
            return 0;
        }
    }
    std::vector<quint64> m_keys;
};

// The books sorted by `columns` (BOOK's), books they do not tell apart in their stored order;
// kept with the rows for the next query in the same order.
const std::vector<qint32> &booksInOrder(const CatalogueRows &rows, const QStringList &columns) {
    std::shared_ptr<const std::vector<qint32>> &kept = rows.orders[columns.join(QLatin1Char(','))];
    if (kept)
        return *kept;
    const CatalogueRows::Table &bookTable = rows.parts[Part::Books];
    const RecordStorage &books = *bookTable.rows;
    std::vector<int> keys;
    for (const QString &column : columns)
        keys.push_back(bookTable.fields.indexOf(column));
    auto order = std::make_shared<std::vector<qint32>>(size_t(books.rows()));
    for (qint32 book = 0; book < books.rows(); ++book)
        (*order)[size_t(book)] = book;
    const LeadingKeys leading(books, keys.front());
    const ValueOrder values(books);
    std::stable_sort(order->begin(), order->end(), [&](qint32 a, qint32 b) {
        if (leading[a] != leading[b])
            return leading[a] < leading[b];
        for (int key : keys) {
            const int c = values.compare(books.cell(a, key), books.cell(b, key));
            if (c != 0)
                return c < 0;
        }
        return false;
    });
    kept = std::move(order);
    return *kept;
}

std::shared_ptr<ComposedRows> compose(const CatalogueRows &rows, const BookQuery &query,
                                      RecordFields &fields) {
    fields = {};
    std::vector<ComposedRows::Column> columns;
    for (const QString &name : query.columns) {
        columns.push_back(resolve(rows, name));
        const QString bare = bareName(name);
        fields.indexByName.insert(bare, fields.count());
        fields.names << bare;
        const schema::Column *known = schema::findColumn(bare);
        fields.kinds.push_back(known ? known->kind : schema::Kind::Text);
    }
    fields.writable.assign(size_t(fields.count()), false);

    const CatalogueRows::Table &bookTable = rows.parts[Part::Books];
    const RecordStorage &books = *bookTable.rows;
    std::vector<QHash<qint64, std::vector<qint32>>> entries(Part::PartCount);
    std::vector<int> bookNumber(Part::PartCount, -1);
    for (int part = Part::Authors; part < Part::PartCount; ++part) {
        if (query.matches[part] == Match::Unused)
            continue;
        const QString number = CatalogueRows::numberOf(Part(part));
        entries[size_t(part)] = entriesByNumber(rows.parts[part], number);
        bookNumber[size_t(part)] = bookTable.fields.indexOf(number);
    }

    std::vector<std::shared_ptr<const RecordStorage>> parts;
    for (const CatalogueRows::Table &table : rows.parts)
        parts.push_back(table.rows);
    auto composed = std::make_shared<ComposedRows>(std::move(parts), std::move(columns));
    composed->reserve(books.rows());

    // The books in the query's order, each followed by the rows its master entries make, the
    // masters nested in the parts' order: what a stable sort of the joined rows would give.
    const size_t width = Part::PartCount;
    const int title = bookTable.fields.indexOf(QStringLiteral("題名"));
    const int stamp = bookTable.fields.indexOf(QStringLiteral("読書ｽﾀﾝﾌﾟ"));
    std::vector<qint32> row(width);
    const std::vector<qint32> none{ComposedRows::NoRow};
    std::vector<std::vector<qint32>> firsts(width);
    for (const qint32 book : booksInOrder(rows, query.order)) {
        if (!isShown(query.books, books, book, title, stamp))
            continue;
        row[Part::Books] = book;
        // The entries each master offers this book; none leaves the book out of an inner join
        // and gives one row with null names otherwise.
        std::vector<const std::vector<qint32> *> choices(width, &none);
        bool leftOut = false;
        for (int part = Part::Authors; part < Part::PartCount; ++part) {
            const Match match = query.matches[part];
            if (match == Match::Unused)
                continue;
            const Cell &number = books.cell(book, bookNumber[size_t(part)]);
            const QHash<qint64, std::vector<qint32>> &byNumber = entries[size_t(part)];
            const auto found = number.type == Cell::Integer ? byNumber.constFind(number.value)
                                                            : byNumber.constEnd();
            if (found == byNumber.constEnd())
                leftOut = leftOut || match == Match::Every;
            else if (match == Match::First)
                choices[size_t(part)] = &(firsts[size_t(part)] = {found.value().front()});
            else
                choices[size_t(part)] = &found.value();
        }
        if (leftOut)
            continue;
        // Every combination of the offered entries, the masters nested as the engine joins
        // them: categories outermost, then authors, publishers and sizes.
        static constexpr Part Nesting[] = {Part::Categories, Part::Authors, Part::Publishers,
                                           Part::Sizes};
        std::vector<size_t> at(width, 0);
        for (;;) {
            for (const Part part : Nesting)
                row[part] = (*choices[part])[at[part]];
            composed->append(row);
            size_t level = std::size(Nesting);
            while (level-- > 0) {
                const Part part = Nesting[level];
                if (++at[part] < choices[part]->size())
                    break;
                at[part] = 0;
            }
            if (level >= std::size(Nesting))
                break;
        }
    }
    return composed;
}

} // namespace

bool answerFromMemory(Connection &connection, const QString &source, RecordFields &fields,
                      RecordStorage &storage) {
    std::optional<BookQuery> query;
    const QString simplified = source.simplified();
    for (const auto &[sql, child] : childQueries()) {
        if (simplified == sql)
            query = child;
    }
    if (!query)
        query = storedQuery(sqlite::handleOf(connection.database()), source.trimmed());
    if (!query)
        return false;
    const std::shared_ptr<const CatalogueRows> rows = CatalogueRows::of(connection.filePath());
    RecordFields shown;
    std::shared_ptr<ComposedRows> composed = compose(*rows, *query, shown);
    fields = std::move(shown);
    storage.compose(std::move(composed));
    return true;
}

} // namespace hondana
