#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace hondana::schema {

enum class Kind { Integer, Date, Text };

// One column of the catalogue. `width` is the longest stored form of a text column in bytes
// of code page 932 (a full-width character takes two); 0 for numbers and dates.
struct Column {
    QString name;
    Kind kind;
    int width = 0;
};

struct Table {
    QString name;
    QList<Column> columns;
};

// The tables of the catalogue, in the order BOOK, BUNYA, CHOSHA, HAKKOU, SAIZU, DSTMP, DOUI.
// BOOK's columns stand in the register's order.
const QList<Table> &catalogueTables();
const Table &table(const QString &name);

// A column by name in any catalogue table or stored query. Column names are unique across the
// tables except the master numbers, which have the same kind wherever they stand.
const Column *findColumn(const QString &name);

// Which books a stored query shows.
enum class BookCondition {
    Every,
    // No reading stamp, or 未, trailing blanks aside.
    Unread,
};

// A stored query over the books: BOOK's columns with "*" where the four master names stand
// (looked up per book: the first entry of the number by rowid, or null), which books, and the
// columns it is ordered by.
struct StoredQuery {
    QString name;
    QStringList columns;
    BookCondition condition;
    QStringList order;
};

// TQ1 to TQ3, and the statement that creates each as a view.
const QList<StoredQuery> &storedQueries();
QString createView(const StoredQuery &query);
// The SQL condition on BOOK's columns that picks the books not yet read (BookCondition::Unread).
// TQ2's view holds this very text, and catalogues already made hold that view, so it does not
// change; another statement puts it in parentheses before joining it to other conditions.
QString unreadCondition();
// The names "*" stands for, in the masters' order: authors, publishers, categories, sizes.
QStringList masterNameColumns();

// Statements that create an empty catalogue: tables, indexes, the stored queries TQ1 to TQ3
// and the reading-stamp rows.
QStringList catalogueStatements();

// Statements that create a version database holding `version`.
QStringList versionStatements(const QString &version);

// Statements that create the agreement database holding `text`. The text is bound, not
// pasted, so it is returned separately from the table.
QStringList agreementTableStatements();

// `name` as an SQL identifier. Brackets, never double quotes: SQLite reads a double-quoted name
// that matches no column as a text, so a misspelt or missing column would pass as data.
QString identifier(const QString &name);

// Integers are 32-bit everywhere in the catalogue.
inline constexpr qint64 IntegerMin = -2147483648LL;
inline constexpr qint64 IntegerMax = 2147483647LL;

} // namespace hondana::schema
