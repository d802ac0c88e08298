#include "../hardening/Harness.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "db/ConnectionString.h"
#include "maintenance/BackupData.h"
#include "maintenance/ResetData.h"
#include "maintenance/RestoreData.h"
#include "maintenance/Snapshots.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>
#include <sqlite3.h>

using namespace hondana;
using hardening::backupFiles;
using hardening::catalogueDigest;
using test::DataFolder;
using test::SqlFile;
using test::u8;

namespace {

QString catalogue(const DataFolder &folder) {
    return folder.filePath(files::Catalogue);
}

// What a reset leaves alone: the stamp list, the acceptance and the stored queries.
test::Rows untouched(const QString &path) {
    SqlFile file(path);
    return file.rows("SELECT * FROM DSTMP") + file.rows("SELECT * FROM DOUI") +
           file.rows("SELECT sql FROM sqlite_schema WHERE type = 'view' ORDER BY name");
}

// Statements the SQL module would cut at their first semicolon, such as a trigger's body.
void executeScript(const QString &path, const QString &sql) {
    sqlite3 *db = nullptr;
    QCOMPARE(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    const int result = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr);
    sqlite3_close(db);
    QCOMPARE(result, SQLITE_OK);
}

qint64 count(const QString &path, const QString &table) {
    return SqlFile(path).value(u8("SELECT count(*) FROM %1").arg(table)).toLongLong();
}

} // namespace

class TestResetSnapshot : public QObject {
    Q_OBJECT

private Q_SLOTS:

    void reset_data() {
        // `failingTable`: a trigger makes deleting from it fail
        test::columns<int, QString>({"books", "failingTable"});
        test::row("full catalogue", 200, QString());
        test::row("already empty", 0, QString());
        test::row("failure in the middle", 200, "CHOSHA");
    }

    void reset() {
        const QString failingTable = test::text("failingTable");
        DataFolder folder;
        test::makeCatalogue(folder.path(), test::cell<int>("books"));
        if (!failingTable.isEmpty())
            executeScript(catalogue(folder),
                          "CREATE TRIGGER refuse BEFORE DELETE ON " + failingTable +
                              " BEGIN SELECT RAISE(ABORT, 'disk I/O error'); END");
        backupData(CatalogueLinkConnection);
        const QMap<QString, QByteArray> backupBefore = backupFiles(folder.path());
        const QByteArray before = catalogueDigest(catalogue(folder));
        const test::Rows kept = untouched(catalogue(folder));

        QString snapshot;
        try {
            snapshot = resetData(CatalogueLinkConnection);
            QVERIFY2(failingTable.isEmpty(), "the reset reported success over a failure");
        } catch (const Failure &failure) {
            QVERIFY2(!failingTable.isEmpty(), qPrintable(failure.message()));
            QVERIFY2(failure.message().contains(failingTable), qPrintable(failure.message()));
            QCOMPARE(catalogueDigest(catalogue(folder)), before);
            return;
        }
        for (const char *table : {"BOOK", "BUNYA", "CHOSHA", "HAKKOU", "SAIZU"})
            QCOMPARE(count(catalogue(folder), table), 0);
        QCOMPARE(untouched(catalogue(folder)), kept);
        QVERIFY(backupFiles(folder.path()) == backupBefore);

        // A reset by mistake is undone from its snapshot.
        QCOMPARE(snapshots::list(catalogue(folder)).value(0).name, snapshot);
        snapshots::restore(snapshot, catalogue(folder));
        QCOMPARE(catalogueDigest(catalogue(folder)), before);
    }

    void snapshotsRotateAtFive() {
        DataFolder folder;
        test::makeCatalogue(folder.path(), 20);
        const QDir snapshotFolder(snapshots::folderOf(catalogue(folder)));
        QVERIFY(snapshotFolder.mkpath("."));
        test::writeFile(snapshotFolder.filePath("mine.MDB"), "the user's own file");
        test::writeFile(snapshotFolder.filePath("20240101-000000-reset.MDB.partial"), "cut short");

        QStringList taken;
        for (int i = 0; i < 7; ++i) {
            SqlFile(catalogue(folder))
                .exec(u8("INSERT INTO BUNYA (分野NO, 分野名) VALUES (%1, 'x')").arg(900 + i));
            taken.prepend(snapshots::take(catalogue(folder), i % 2 ? snapshots::BeforeRestore
                                                                   : snapshots::BeforeReset));
        }
        const QList<snapshots::Snapshot> all = snapshots::list(catalogue(folder));
        QStringList names;
        for (const snapshots::Snapshot &snapshot : all)
            names << snapshot.name;
        QCOMPARE(names, taken.mid(0, snapshots::Kept));
        QCOMPARE(all.first().occasion, snapshots::BeforeReset);
        // The newest holds the last row added, the oldest kept one the third.
        QCOMPARE(count(all.first().path, "BUNYA"), count(catalogue(folder), "BUNYA"));
        QCOMPARE(count(all.last().path, "BUNYA"), count(catalogue(folder), "BUNYA") - 4);
        QVERIFY(snapshotFolder.exists("mine.MDB"));
        QCOMPARE(snapshotFolder.entryList({"*.partial"}, QDir::Files), QStringList());
        QCOMPARE(SqlFile(all.first().path).value("PRAGMA integrity_check").toString(), "ok");
    }

    void restoreKeepsASnapshotThatComesBack() {
        DataFolder folder;
        test::makeCatalogue(folder.path(), 30);
        backupData(CatalogueLinkConnection);
        // The version upgrade keeps none; the screen and the command line do.
        QCOMPARE(restoreData(), QString());
        QCOMPARE(snapshots::list(catalogue(folder)).size(), 0);
        SqlFile(catalogue(folder)).exec("INSERT INTO BOOK (題名) VALUES ('あとから足した本')");
        const QByteArray before = catalogueDigest(catalogue(folder));
        const QString kept = restoreData({}, {true, {}});
        QCOMPARE(count(catalogue(folder), "BOOK"), 30);
        QCOMPARE(snapshots::list(catalogue(folder)).value(0).name, kept);
        QCOMPARE(catalogueDigest(snapshots::list(catalogue(folder)).value(0).path), before);

        const QByteArray restored = catalogueDigest(catalogue(folder));
        snapshots::restore(kept, catalogue(folder));
        QCOMPARE(catalogueDigest(catalogue(folder)), before);
        QVERIFY(!QFileInfo::exists(folder.filePath(files::WorkCopy)));
        // Putting a snapshot back keeps the catalogue it replaced.
        const snapshots::Snapshot newest = snapshots::list(catalogue(folder)).value(0);
        QCOMPARE(newest.occasion, snapshots::BeforeSnapshotRestore);
        QCOMPARE(catalogueDigest(newest.path), restored);

        for (const char *name : {"20991231-000000-reset.MDB", "../TOSHO.MDB"}) {
            QVERIFY_THROWS_EXCEPTION(Failure, snapshots::restore(name, catalogue(folder)));
            QCOMPARE(catalogueDigest(catalogue(folder)), before);
        }
        // A damaged snapshot is refused before anything is replaced.
        test::writeFile(newest.path, "not a database at all");
        QVERIFY_THROWS_EXCEPTION(Failure, snapshots::restore(newest.name, catalogue(folder)));
        QCOMPARE(catalogueDigest(catalogue(folder)), before);

        // A damaged catalogue, which no snapshot can keep, is still restored.
        test::writeFile(catalogue(folder), QByteArray(8192, 'x'));
        QCOMPARE(restoreData({}, {true, {}}), QString());
        QCOMPARE(count(catalogue(folder), "BOOK"), 30);
    }
};

QTEST_GUILESS_MAIN(TestResetSnapshot)
#include "tst_reset_snapshot.moc"
