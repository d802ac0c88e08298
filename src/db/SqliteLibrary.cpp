#include "db/SqliteLibrary.h"

#include "base/Failure.h"

#include <QSqlQuery>
#include <QVariant>
#include <sqlite3.h>

namespace hondana::sqlite {

bool sameLibrary(const QString &linkedSourceId, const QString &driverSourceId) {
    return !linkedSourceId.isEmpty() && linkedSourceId == driverSourceId;
}

QString libraryMismatchMessage(const QString &linkedSourceId, const QString &driverSourceId) {
    return QStringLiteral("データベースのドライバーがこのプログラムとは別の SQLite を使っています"
                          "（プログラム: %1、ドライバー: %2）。このままではデータベースを壊す"
                          "おそれがあるため、起動できません。同じ SQLite を使うように"
                          "組み立て直してください。")
        .arg(linkedSourceId, driverSourceId.isEmpty() ? QStringLiteral("不明") : driverSourceId);
}

void requireSameLibrary(const QSqlDatabase &db) {
    static bool confirmed = false;
    if (confirmed)
        return;
    QSqlQuery query(db);
    const QString driver = query.exec(QStringLiteral("SELECT sqlite_source_id()")) && query.next()
                               ? query.value(0).toString()
                               : QString();
    const QString linked = QString::fromUtf8(sqlite3_sourceid());
    if (!sameLibrary(linked, driver))
        throw Failure(libraryMismatchMessage(linked, driver));
    confirmed = true;
}

} // namespace hondana::sqlite
