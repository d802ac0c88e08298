#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct sqlite3;

namespace hondana::sqlite {

struct IndexDefinition {
    QString name;
    QString table;
    QByteArray sql; // the CREATE INDEX statement the file keeps
};

// Building an index once over all rows is much faster than keeping it up to date row by row, so
// a writer of many rows drops the indexes of `tables` first and makes them again from their own
// definitions before it commits. Both throw Failure starting with `context`.
QList<IndexDefinition> dropIndexes(sqlite3 *handle, const QStringList &tables,
                                   const QString &context);
void createIndexes(sqlite3 *handle, const QList<IndexDefinition> &indexes);

} // namespace hondana::sqlite
