#include "core/AcceptanceRecord.h"

#include "base/Failure.h"

#include <QDate>
#include <QSqlError>
#include <QSqlQuery>

namespace hondana {

namespace {

Failure catalogueFailure(const QSqlQuery &query) {
    return Failure(QStringLiteral("蔵書データベースの同意記録 (DOUI) を扱えません: %1")
                       .arg(describeSqlError(query.lastError().text())));
}

} // namespace

AcceptanceRecord::AcceptanceRecord(const QString &mainConnectionString)
    : m_connection(mainConnectionString) {
    m_connection.open();
}

bool AcceptanceRecord::exists() {
    QSqlQuery query(m_connection.database());
    if (!query.exec(QStringLiteral("SELECT EXISTS (SELECT 1 FROM DOUI)")) || !query.next())
        throw catalogueFailure(query);
    return query.value(0).toBool();
}

void AcceptanceRecord::add() {
    QSqlQuery query(m_connection.database());
    query.prepare(QStringLiteral("INSERT INTO DOUI (ID, 同意日) VALUES (1, ?)"));
    query.addBindValue(QDate::currentDate().toString(Qt::ISODate));
    if (!query.exec())
        throw catalogueFailure(query);
}

} // namespace hondana
