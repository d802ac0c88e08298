#include "support/TestSql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace hondana::test {

namespace {

QSqlQuery run(const QSqlDatabase &db, const QString &sql) {
    QSqlQuery query(db);
    if (!query.exec(sql))
        qFatal("SQL failed: %s\n%s", qPrintable(query.lastError().text()), qPrintable(sql));
    return query;
}

} // namespace

void exec(const QSqlDatabase &db, const QString &sql) {
    // QtSql runs one statement per call; a script is split at its semicolons.
    for (const QString &statement : sql.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!statement.trimmed().isEmpty())
            run(db, statement);
}

QVariant value(const QSqlDatabase &db, const QString &sql) {
    QSqlQuery query = run(db, sql);
    return query.next() ? query.value(0) : QVariant();
}

Rows rows(const QSqlDatabase &db, const QString &sql) {
    QSqlQuery query = run(db, sql);
    Rows result;
    while (query.next()) {
        QVariantList row;
        for (int i = 0; i < query.record().count(); ++i)
            row << query.value(i);
        result << row;
    }
    return result;
}

SqlFile::SqlFile(const QString &path)
    : m_name(QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::WithoutBraces)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    if (!db.open())
        qFatal("cannot open %s: %s", qPrintable(path), qPrintable(db.lastError().text()));
}

SqlFile::~SqlFile() {
    QSqlDatabase::database(m_name, false).close();
    QSqlDatabase::removeDatabase(m_name);
}

QSqlDatabase SqlFile::database() const {
    return QSqlDatabase::database(m_name, false);
}

} // namespace hondana::test
