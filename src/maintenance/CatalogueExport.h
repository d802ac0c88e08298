#pragma once

#include "base/Progress.h"
#include "catalogue/WishList.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

namespace hondana {

enum class CsvEncoding {
    Utf8,
    Cp932, // for spreadsheet programs that read Japanese text only in the Windows code page
};

// Receives the exported text piece by piece.
using CsvSink = std::function<void(QByteArrayView bytes)>;

// Writes every book of the catalogue `connectionString` reaches as CSV: a header row of column
// names, then one row per book in the register's order with the names of its author, publisher,
// category and size joined in (empty when the master is missing). Fields are quoted when they
// hold a comma, a double quote or a line break, quotes doubled, rows end in CR LF. Returns the
// number of books. Throws Failure; in code page 932 also for a character it cannot hold, naming
// the book and the column.
qint64 exportCatalogue(const QString &connectionString, const QString &folder, CsvEncoding encoding,
                       const CsvSink &sink, const Progress &progress = {});

// `field` as one CSV field: quoted when it needs to be.
void appendCsvField(QByteArray &line, QByteArrayView field);

// A short table as CSV in UTF-8 with a byte order mark (which spreadsheet programs need to take
// it for UTF-8): the header row, then the rows, fields quoted as above, lines ended by CR LF.
QByteArray csvTable(const QStringList &columns, const QList<QStringList> &rows);

// The wish list as a table, one row per wish in the list's order (the priority as its number,
// 1 the highest), and as a CSV table (above).
QStringList wishListColumns();
QList<QStringList> wishListRows(const QList<Wish> &wishes);
QByteArray wishListCsv(const QList<Wish> &wishes);

} // namespace hondana
