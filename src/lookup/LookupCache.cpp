#include "lookup/LookupCache.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

namespace hondana {

namespace {

Failure cacheFailure(const QString &path, const QString &why) {
    return Failure(QStringLiteral("照会の控え「%1」を使えません: %2\n"
                                  "このファイルを削除すれば、次の照会で作り直されます。")
                       .arg(path, why));
}

} // namespace

LookupCache::LookupCache(const QString &folder)
    : m_path(files::resolve(FileName, folder)),
      m_connection(QStringLiteral("lookup-cache-") + QUuid::createUuid().toString()) {
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
    database.setDatabaseName(m_path);
    QSqlQuery query(database);
    // A file that is not a database only fails at the first statement, not at open().
    const bool ready =
        database.open() && query.exec(QStringLiteral("PRAGMA busy_timeout = 2000")) &&
        query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS answer (isbn TEXT PRIMARY KEY, "
                                  "body BLOB NOT NULL, received TEXT NOT NULL) STRICT")) &&
        query.exec(QStringLiteral("SELECT isbn, body, received FROM answer LIMIT 0"));
    if (!ready) {
        const QString why =
            query.lastError().isValid() ? query.lastError().text() : database.lastError().text();
        query = QSqlQuery();
        database = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connection);
        throw cacheFailure(m_path, why);
    }
}

LookupCache::~LookupCache() {
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

std::optional<QByteArray> LookupCache::find(const Isbn &isbn) const {
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT body FROM answer WHERE isbn = ?"));
    query.addBindValue(isbn.digits());
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toByteArray();
}

void LookupCache::store(const Isbn &isbn, const QByteArray &answer) {
    QSqlDatabase database = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(database);
    query.prepare(
        QStringLiteral("INSERT OR REPLACE INTO answer (isbn, body, received) VALUES (?, ?, ?)"));
    query.addBindValue(isbn.digits());
    query.addBindValue(answer);
    query.addBindValue(QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    database.transaction();
    const bool written = query.exec();
    faultpoint("lookup.store");
    if (!written || !database.commit()) {
        const QString why =
            query.lastError().isValid() ? query.lastError().text() : database.lastError().text();
        database.rollback();
        throw cacheFailure(m_path, why);
    }
    faultpoint("lookup.stored");
}

} // namespace hondana
