#pragma once

#include "intake/ColumnMapping.h"
#include "intake/SourceTable.h"

#include <QByteArray>
#include <QList>
#include <QString>

namespace hondana::intake {

enum class ImportFormat { Csv, Own, Booklog, Goodreads, Calibre, Tellico };

// One kind of file other catalogues write, and where its columns go.
struct FormatDescription {
    ImportFormat format;
    QString option; // the name --format takes
    QString label;  // the name the window and the report show
    bool header;    // whether the first row names the columns
    // Its columns by name (for a file without header, in their order) with where each goes:
    // a book column's name, or empty for nowhere.
    struct Column {
        QString name;
        QString target;
        Conversion conversion;
    };
    QList<Column> columns;
};

const QList<FormatDescription> &importFormats();
const FormatDescription &formatDescription(ImportFormat format);
// The format --format names, if any.
const FormatDescription *formatByOption(const QString &option);

// Whether a file starting with `start` is a zip archive.
bool isZip(const QByteArray &start);
// The format of a table read from a text file, recognised by its first row.
ImportFormat recogniseTable(const SourceTable &table);

// Takes the header row off a table of a format that has one, and names the columns of one that
// has not. Throws Failure when a file with a header has no row at all.
void nameColumns(SourceTable &table, const FormatDescription &format);

// Where each column of `table` goes by default: as the format says, and other columns by their
// names (ours in Japanese or English).
ColumnMapping defaultMapping(const SourceTable &table, const FormatDescription &format);

} // namespace hondana::intake
