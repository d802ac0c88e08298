#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace hondana {

// A short list the user takes away from a window: a heading, column names and rows of text,
// and a line printed under the heading (the date and count, say).
struct TextList {
    QString title;
    QStringList columns;
    QList<QStringList> rows;
    QString note = {};
};

// Writes the list as CSV (UTF-8 with a byte-order mark, so spreadsheet programs read the
// Japanese right; a header row; fields quoted as the catalogue's export quotes them; CR LF),
// replacing `path` whole or not at all. Throws Failure naming the file.
void writeCsv(const TextList &list, const QString &path);

// Asks where to save the list as CSV and saves it; a failure is said in a message. Returns
// whether it was saved.
bool saveCsvChosen(QWidget *parent, const TextList &list);

// Shows the list as a table in a print preview, from which it is printed.
void printWithPreview(QWidget *parent, const TextList &list);

} // namespace hondana
