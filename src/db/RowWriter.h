#pragma once

#include <QList>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace hondana {

// Writes single rows of one table, each found by its rowid, through the connection's SQL
// module. Every refusal of the engine throws Failure naming the table.
class RowWriter {
public:
    RowWriter(const QSqlDatabase &db, const QString &table) : m_db(db), m_table(table) {}

    // Returns the new row's rowid.
    qint64 insert(const QStringList &columns, const QVariantList &values);
    void update(qint64 rowId, const QStringList &columns, const QVariantList &values);
    void remove(qint64 rowId);

private:
    QSqlDatabase m_db;
    QString m_table;
};

} // namespace hondana
