#pragma once

#include "catalogue/IncomingBook.h"
#include "intake/SourceTable.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace hondana::intake {

// How a file's text becomes a book's value.
enum class Conversion {
    Text,
    Integer,      // 1,500 or １５００
    Number,       // 1.0 from files that write whole numbers as decimals
    Date,         // 2024/04/01, 2024-04-01T10:00:00+00:00, a year alone (its 1 January)
    Isbn,         // ISBN-10 or 13, also as ="…"
    ReadingState, // 済/未 and the reading states other catalogues write
    Rating,       // 0 is "not rated"
    Price,        // ¥1,200 or 1200円
    FirstName,    // the first of several names ("A & B", "A; B")
};

// A column of the register a file's column can fill, under the name our export gives it.
struct BookColumn {
    QString name;
    Conversion conversion; // the one a column of that name takes by default
    QStringList aliases;   // English names other files use for it
};
const QList<BookColumn> &bookColumns();
// The index of the book column `name` (our name or an alias, any letter case), or -1.
int findBookColumn(const QString &name);

// A refused value of a row.
struct RowProblem {
    qint64 line = 0;
    QString column;
    QString value;
    QString why;
};

// Where each column of a file goes: a book column and its conversion, or nowhere.
struct ColumnRule {
    int target = -1;
    Conversion conversion = Conversion::Text;
};

class ColumnMapping {
public:
    QStringList sourceColumns;
    QList<ColumnRule> rules; // one per source column

    // The book a row makes; values that cannot be read are left empty and reported.
    IncomingBook convert(const SourceRecord &record, QList<RowProblem> &problems) const;
};

} // namespace hondana::intake
