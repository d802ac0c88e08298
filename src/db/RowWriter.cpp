#include "db/RowWriter.h"

#include "base/Failure.h"
#include "db/Connection.h"
#include "db/Schema.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

namespace hondana {

namespace {

QStringList identifiers(const QStringList &columns) {
    QStringList names;
    for (const QString &column : columns)
        names << schema::identifier(column);
    return names;
}

// Dates are stored as "YYYY-MM-DD" text without a time of day; a null is bound as a null text
// so that the driver never guesses a type.
void bindAll(QSqlQuery &query, const QVariantList &values) {
    for (const QVariant &value : values) {
        if (value.typeId() == QMetaType::QDate)
            query.addBindValue(value.toDate().toString(Qt::ISODate));
        else if (!value.isValid())
            query.addBindValue(QVariant(QMetaType(QMetaType::QString)));
        else
            query.addBindValue(value);
    }
}

Failure refused(const QString &what, const QString &table, const QSqlQuery &query) {
    return Failure(what.arg(table, describeSqlError(query.lastError().text())));
}

} // namespace

qint64 RowWriter::insert(const QStringList &columns, const QVariantList &values) {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(schema::identifier(m_table), identifiers(columns).join(u", "),
                       QStringList(columns.size(), QStringLiteral("?")).join(u", ")));
    bindAll(q, values);
    if (!q.exec())
        throw refused(QStringLiteral("「%1」に書き込めません: %2"), m_table, q);
    return q.lastInsertId().toLongLong();
}

void RowWriter::update(qint64 rowId, const QStringList &columns, const QVariantList &values) {
    QStringList assignments;
    for (const QString &name : identifiers(columns))
        assignments << name + QStringLiteral(" = ?");
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("UPDATE %1 SET %2 WHERE rowid = ?")
                  .arg(schema::identifier(m_table), assignments.join(u", ")));
    bindAll(q, values);
    q.addBindValue(rowId);
    if (!q.exec())
        throw refused(QStringLiteral("「%1」に書き込めません: %2"), m_table, q);
    if (q.numRowsAffected() == 0)
        throw Failure(QStringLiteral("このレコードは「%1」にもうありません（ほかの画面で"
                                     "削除されたようです）。")
                          .arg(m_table));
}

void RowWriter::remove(qint64 rowId) {
    QSqlQuery q(m_db);
    q.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid = ?").arg(schema::identifier(m_table)));
    q.addBindValue(rowId);
    if (!q.exec())
        throw refused(QStringLiteral("「%1」から削除できません: %2"), m_table, q);
}

} // namespace hondana
