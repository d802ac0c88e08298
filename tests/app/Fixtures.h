#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace hondana::test {

// A version database named `fileName` in the current directory. `version` is written as its
// row; the markers NoRow and NullVersion make a table without a row or with a null value.
inline const QString NoRow = QStringLiteral("<no row>");
inline const QString NullVersion = QStringLiteral("<null>");
void writeVersionDatabase(const QString &version, const QString &fileName = "INTVER.mdb");

// Copies the shipped starting catalogue to `fileName` and, when asked, records the acceptance
// the way an earlier installation did.
void writeCatalogue(const QString &fileName, bool accepted);

// How many rows `table` of the database file holds.
int rowCount(const QString &fileName, const QString &table);

// Every file below the current directory with a digest of its bytes, to show that an action
// changed nothing.
QMap<QString, QByteArray> folderSnapshot();

QByteArray fileBytes(const QString &fileName);

} // namespace hondana::test
