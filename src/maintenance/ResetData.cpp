#include "maintenance/ResetData.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/OwnTables.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "maintenance/Snapshots.h"

#include <QFileInfo>

namespace hondana {

const QStringList &resetTables() {
    static const QStringList tables = {QStringLiteral("BOOK"), QStringLiteral("BUNYA"),
                                       QStringLiteral("CHOSHA"), QStringLiteral("HAKKOU"),
                                       QStringLiteral("SAIZU")};
    return tables;
}

QString resetData(const QString &connectionString, const QString &folder,
                  const Progress &progress) {
    Connection connection(connectionString, folder);
    connection.open();
    // Every table of ours is there to be emptied, also in a catalogue of an older layout.
    connection.ensureOwnTables();
    sqlite3 *handle = sqlite::handleOf(connection.database());
    const QString cannotDelete = QStringLiteral("「%1」のデータを削除できません")
                                     .arg(QFileInfo(connection.filePath()).fileName());
    // The snapshot is read inside the reset's own transaction, so it holds exactly what the
    // reset removes. SQLite's online backup refuses a connection that is writing, so the
    // transaction only reads until the snapshot is complete.
    // Overwriting every freed page would double the work; the snapshot holds the data anyway.
    sqlite::execute(handle, "PRAGMA secure_delete = FAST; BEGIN; SELECT count(*) FROM BOOK",
                    cannotDelete);
    try {
        const QString snapshot =
            snapshots::take(handle, connection.filePath(), snapshots::BeforeReset, progress);
        sqlite::ProgressHandler ticks(handle, progress);
        for (const QString &table : resetTables()) {
            faultpoint(("reset." + table.toLatin1()).constData());
            const QByteArray sql = "DELETE FROM " + schema::identifier(table).toUtf8();
            sqlite::execute(handle, sql.constData(),
                            QStringLiteral("%1: %2 表").arg(cannotDelete, table));
        }
        // Our data goes too, also rows whose book was deleted by a program without our triggers.
        for (const QString &table : owntables::DataTables)
            sqlite::execute(handle, ("DELETE FROM " + table.toUtf8()).constData(),
                            QStringLiteral("%1: %2 表").arg(cannotDelete, table));
        faultpoint("reset.commit");
        sqlite::execute(handle, "COMMIT", cannotDelete);
        faultpoint("reset.committed");
        return snapshot;
    } catch (...) {
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
}

} // namespace hondana
