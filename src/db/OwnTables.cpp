#include "db/OwnTables.h"

#include "base/Failure.h"
#include "db/SqliteStatement.h"

#include <QFileInfo>
#include <QMutex>
#include <QSet>
#include <QSqlDatabase>

namespace hondana::owntables {

namespace {

// A trigger per table whose rows our data belongs to. AFTER DELETE triggers run inside the
// deleting statement, so a book and its readings go together or not at all.
QString deleteTrigger(const QString &table, const QString &where) {
    return QStringLiteral("CREATE TRIGGER IF NOT EXISTS %1_owned_rows AFTER DELETE ON %1 BEGIN "
                          "DELETE FROM %2; "
                          "END")
        .arg(table, where);
}

QString fileName(sqlite3 *handle) {
    return QFileInfo(QString::fromUtf8(sqlite3_db_filename(handle, "main"))).fileName();
}

int storedVersion(sqlite3 *handle, const QString &context) {
    sqlite::Statement query(handle, QStringLiteral("SELECT max(version) FROM %1").arg(VersionTable),
                            context);
    return query.step() == SQLITE_ROW ? sqlite3_column_int(query.get(), 0) : 0;
}

} // namespace

QStringList statements() {
    const QString origin = QStringLiteral("origin TEXT NOT NULL CHECK (origin IN ('%1', '%2'))")
                               .arg(OriginUser, OriginSuggested);
    return {
        QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (version INTEGER NOT NULL) STRICT")
            .arg(VersionTable),
        QStringLiteral("INSERT INTO %1 (version) VALUES (%2)").arg(VersionTable).arg(Version),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (book_rowid INTEGER PRIMARY KEY, reading TEXT NOT NULL, "
            "%2) STRICT")
            .arg(TitleReadingTable, origin),
        QStringLiteral(
            "CREATE TABLE IF NOT EXISTS %1 (master TEXT NOT NULL CHECK (master IN ('CHOSHA', "
            "'HAKKOU')), master_rowid INTEGER NOT NULL, reading TEXT NOT NULL, %2, "
            "PRIMARY KEY (master, master_rowid)) STRICT, WITHOUT ROWID")
            .arg(NameReadingTable, origin),
        deleteTrigger(QStringLiteral("BOOK"),
                      TitleReadingTable + QStringLiteral(" WHERE book_rowid = old.rowid")),
        deleteTrigger(QStringLiteral("CHOSHA"),
                      NameReadingTable +
                          QStringLiteral(" WHERE master = 'CHOSHA' AND master_rowid = old.rowid")),
        deleteTrigger(QStringLiteral("HAKKOU"),
                      NameReadingTable +
                          QStringLiteral(" WHERE master = 'HAKKOU' AND master_rowid = old.rowid")),
    };
}

bool present(sqlite3 *handle) {
    sqlite::Statement query(
        handle,
        QStringLiteral("SELECT count(*) FROM sqlite_schema WHERE type = 'table' AND name = '%1'")
            .arg(VersionTable),
        QStringLiteral("「%1」を読めません").arg(fileName(handle)));
    return query.step() == SQLITE_ROW && sqlite3_column_int(query.get(), 0) > 0;
}

void ensure(sqlite3 *handle) {
    const QString context =
        QStringLiteral("「%1」に読みなどの表を加えられません").arg(fileName(handle));
    if (present(handle)) {
        if (storedVersion(handle, context) > Version)
            throw Failure(QStringLiteral("「%1」は新しい版のプログラムで作られています"
                                         "（読みなどの表の形式 %2）。新しい版で開いてください。")
                              .arg(fileName(handle))
                              .arg(storedVersion(handle, context)));
        return;
    }
    // A write transaction from the start, so two programs opening an older file at once do not
    // both add the tables; inside a caller's transaction, a part of it.
    const bool own = sqlite3_get_autocommit(handle) != 0;
    sqlite::execute(handle, own ? "BEGIN IMMEDIATE" : "SAVEPOINT own_tables", context);
    try {
        if (!present(handle)) {
            for (const QString &statement : statements())
                sqlite::execute(handle, statement.toUtf8().constData(), context);
        }
        sqlite::execute(handle, own ? "COMMIT" : "RELEASE own_tables", context);
    } catch (...) {
        sqlite3_exec(handle, own ? "ROLLBACK" : "ROLLBACK TO own_tables; RELEASE own_tables",
                     nullptr, nullptr, nullptr);
        throw;
    }
}

void ensureOnce(const QSqlDatabase &database) {
    static QMutex mutex;
    static QSet<QString> checked;
    const QString name = database.connectionName();
    {
        const QMutexLocker lock(&mutex);
        if (checked.contains(name))
            return;
    }
    ensure(sqlite::handleOf(database));
    const QMutexLocker lock(&mutex);
    checked.insert(name);
}

} // namespace hondana::owntables
