#pragma once

#include "base/Progress.h"
#include "catalogue/BookIntake.h"
#include "intake/ColumnMapping.h"
#include "intake/CsvSource.h"
#include "intake/ImportFormats.h"

#include <QList>
#include <QString>

#include <optional>

namespace hondana {
class Connection;
}

namespace hondana::intake {

// Another catalogue's file as read: its format, its rows, and where its columns go (which the
// window lets the user change before anything is planned).
struct ImportFile {
    const FormatDescription *format = nullptr;
    SourceTable table;
    ColumnMapping mapping;

    // Reads `path`, recognising its format and encoding unless they are given. Throws Failure for
    // a file that cannot be read whole; then nothing of it is used.
    static ImportFile read(const QString &path, std::optional<ImportFormat> format = {},
                           TextEncoding encoding = TextEncoding::Detect);
};

// What importing a file would do: the books its rows make, the rows refused and why, and the
// plan of the books that could be added.
class ImportPreview {
public:
    ImportPreview(Connection &connection, const ImportFile &file);

    QList<RowProblem> refusedRows() const; // by line
    const IntakePlan &plan() const { return m_plan; }
    const QList<IncomingBook> &books() const { return m_books; }
    qint64 lineOf(int book) const { return m_lines.value(book); }
    int rowCount() const { return m_rows; }

    // The report: books to add, masters to create, refused rows, look-alikes.
    QString text(Duplicates duplicates) const;

private:
    QString m_label;
    QString m_encoding;
    int m_rows = 0;
    QList<RowProblem> m_readProblems;
    QList<IncomingBook> m_books; // rows the reading left whole
    QList<qint64> m_lines;       // by book
    IntakePlan m_plan;
};

// Adds the books of a preview that have no problem (look-alikes as asked) in one transaction,
// then suggests readings where the file gave none, for what it added and nothing else. Returns
// the rowids of the books added.
// Throws Failure; then nothing is added.
QList<qint64> importBooks(Connection &connection, const ImportPreview &preview,
                          Duplicates duplicates, const Progress &progress = {});

} // namespace hondana::intake
