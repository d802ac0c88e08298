// bench_maintenance [books]: backup and restore of a synthetic catalogue (100,000 books by
// default), each against what plain SQLite needs for the same rows, measured in the same run.
// Every operation runs in a process of its own so that its peak memory is its own.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/DatabaseFile.h"
#include "db/OwnTables.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "maintenance/BackupData.h"
#include "maintenance/BackupFormat.h"
#include "maintenance/OwnDataFile.h"
#include "maintenance/RestoreData.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

using namespace hondana;
using namespace hondana::bench;

namespace {

constexpr int Runs = 3;

QString selectAll(const backup::Layout &layout) {
    QStringList quoted;
    for (const QString &column : layout.columns())
        quoted << QLatin1Char('"') + column + QLatin1Char('"');
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(quoted.join(u", "), layout.table);
}

QString insertInto(const backup::Layout &layout) {
    QStringList quoted, marks;
    for (const QString &column : layout.columns()) {
        quoted << QLatin1Char('"') + column + QLatin1Char('"');
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
        .arg(layout.table, quoted.join(u", "), marks.join(u", "));
}

void check(bool ok, const QSqlQuery &query) {
    if (!ok)
        throw std::runtime_error(query.lastError().text().toStdString());
}

// Reads every row backup reads through QtSql, touching every value.
void plainRead() {
    Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"));
    connection.open();
    QSqlDatabase db = connection.database();
    db.transaction();
    qint64 touched = 0;
    for (const backup::Layout &layout : backup::layouts()) {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        check(query.exec(selectAll(layout)), query);
        const int columns = int(layout.fields.size());
        while (query.next()) {
            for (int i = 0; i < columns; ++i)
                touched += query.value(i).isNull() ? 0 : 1;
        }
    }
    db.rollback();
    if (touched == 0)
        std::fprintf(stderr, "nothing read\n");
}

// The same read straight through SQLite's own interface: the least any reader can need.
void rawRead() {
    Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"));
    connection.open();
    sqlite3 *handle = sqlite::handleOf(connection.database());
    sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
    qint64 touched = 0;
    for (const backup::Layout &layout : backup::layouts()) {
        sqlite3_stmt *statement = nullptr;
        const QByteArray sql = selectAll(layout).toUtf8();
        sqlite3_prepare_v2(handle, sql.constData(), -1, &statement, nullptr);
        const int columns = int(layout.fields.size());
        while (sqlite3_step(statement) == SQLITE_ROW) {
            for (int i = 0; i < columns; ++i) {
                if (sqlite3_column_type(statement, i) == SQLITE_TEXT)
                    touched += sqlite3_column_bytes(statement, i) > 0 ? 1 : 0;
                else
                    touched += sqlite3_column_int64(statement, i) != 0 ? 1 : 0;
            }
        }
        sqlite3_finalize(statement);
    }
    sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
    if (touched == 0)
        std::fprintf(stderr, "nothing read\n");
}

struct RawValue {
    int type = SQLITE_NULL;
    sqlite3_int64 integer = 0;
    std::string text;
};
using RawRows = std::vector<std::vector<RawValue>>;

std::vector<RawRows> loadRawRows() {
    Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"));
    connection.open();
    sqlite3 *handle = sqlite::handleOf(connection.database());
    std::vector<RawRows> tables;
    for (const backup::Layout &layout : backup::layouts()) {
        sqlite3_stmt *statement = nullptr;
        const QByteArray sql = selectAll(layout).toUtf8();
        sqlite3_prepare_v2(handle, sql.constData(), -1, &statement, nullptr);
        RawRows rows;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<RawValue> row(layout.fields.size());
            for (int i = 0; i < int(row.size()); ++i) {
                row[i].type = sqlite3_column_type(statement, i);
                if (row[i].type == SQLITE_TEXT)
                    row[i].text = reinterpret_cast<const char *>(sqlite3_column_text(statement, i));
                else
                    row[i].integer = sqlite3_column_int64(statement, i);
            }
            rows.push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        tables.push_back(std::move(rows));
    }
    return tables;
}

// The same inserts straight through SQLite's own interface, with its default settings.
void rawInsert(const std::vector<RawRows> &tables) {
    const QString name = openDatabaseFile(QDir::current().filePath(QStringLiteral("PLAIN.MDB")),
                                          QStringLiteral("bench"));
    {
        sqlite3 *handle = sqlite::handleOf(QSqlDatabase::database(name, false));
        sqlite3_exec(handle, "BEGIN", nullptr, nullptr, nullptr);
        for (size_t t = 0; t < tables.size(); ++t) {
            sqlite3_stmt *insert = nullptr;
            const QByteArray sql = insertInto(backup::layouts()[qsizetype(t)]).toUtf8();
            sqlite3_prepare_v2(handle, sql.constData(), -1, &insert, nullptr);
            for (const std::vector<RawValue> &row : tables[t]) {
                for (int i = 0; i < int(row.size()); ++i) {
                    if (row[i].type == SQLITE_TEXT)
                        sqlite3_bind_text(insert, i + 1, row[i].text.data(),
                                          int(row[i].text.size()), SQLITE_STATIC);
                    else if (row[i].type == SQLITE_NULL)
                        sqlite3_bind_null(insert, i + 1);
                    else
                        sqlite3_bind_int64(insert, i + 1, row[i].integer);
                }
                if (sqlite3_step(insert) != SQLITE_DONE)
                    throw std::runtime_error(sqlite3_errmsg(handle));
                sqlite3_reset(insert);
            }
            sqlite3_finalize(insert);
        }
        if (sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
            throw std::runtime_error("commit failed");
    }
    closeDatabase(name);
}

using Rows = QList<QVariantList>;

// The rows restore adds, loaded before the clock starts.
QList<Rows> loadRows() {
    Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"));
    connection.open();
    QList<Rows> tables;
    for (const backup::Layout &layout : backup::layouts()) {
        QSqlQuery query(connection.database());
        query.setForwardOnly(true);
        check(query.exec(selectAll(layout)), query);
        Rows rows;
        while (query.next()) {
            QVariantList row;
            for (int i = 0; i < int(layout.fields.size()); ++i)
                row << query.value(i);
            rows << row;
        }
        tables << rows;
    }
    return tables;
}

// Inserts the same rows into a copy of the template through one prepared statement per table,
// in one transaction, with SQLite's default settings.
void plainInsert(const QList<Rows> &tables) {
    const QString name = openDatabaseFile(QDir::current().filePath(QStringLiteral("PLAIN.MDB")),
                                          QStringLiteral("bench"));
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.transaction();
        for (qsizetype t = 0; t < tables.size(); ++t) {
            QSqlQuery insert(db);
            check(insert.prepare(insertInto(backup::layouts()[t])), insert);
            for (const QVariantList &row : tables[t]) {
                for (int i = 0; i < row.size(); ++i)
                    insert.bindValue(i, row[i]);
                check(insert.exec(), insert);
            }
        }
        if (!db.commit())
            throw std::runtime_error("commit failed");
    }
    closeDatabase(name);
}

void addEveryReading(const QString &catalogue) {
    const QString name = openDatabaseFile(catalogue, QStringLiteral("readings"));
    {
        sqlite3 *handle = sqlite::handleOf(QSqlDatabase::database(name, false));
        owntables::ensure(handle);
        sqlite::execute(
            handle,
            "INSERT INTO title_reading SELECT rowid, 'ホンノダイメイ', 'user' FROM BOOK;"
            "INSERT INTO name_reading SELECT 'CHOSHA', rowid, 'チョシャ', 'suggested' "
            "FROM CHOSHA; INSERT INTO name_reading SELECT 'HAKKOU', rowid, "
            "'ハッコウジョ', 'user' FROM HAKKOU",
            QStringLiteral("readings"));
    }
    closeDatabase(name);
}

// Runs one operation in this process and prints "milliseconds peak-kB".
int runChild(const QString &mode, const QString &folder) {
    QDir::setCurrent(folder);
    try {
        QList<Rows> rows;
        std::vector<RawRows> rawRows;
        if (mode.endsWith(QLatin1String("insert"))) {
            QFile::remove(QStringLiteral("PLAIN.MDB"));
            QFile::copy(files::RestoreTemplate, QStringLiteral("PLAIN.MDB"));
            if (mode == QLatin1String("insert"))
                rows = loadRows();
            else
                rawRows = loadRawRows();
        }
        QElapsedTimer timer;
        timer.start();
        if (mode == QLatin1String("read"))
            plainRead();
        else if (mode == QLatin1String("backup"))
            backupData(QStringLiteral("Data Source=TOSHO.MDB;"));
        else if (mode == QLatin1String("insert"))
            plainInsert(rows);
        else if (mode == QLatin1String("raw-read"))
            rawRead();
        else if (mode == QLatin1String("raw-insert"))
            rawInsert(rawRows);
        else if (mode == QLatin1String("restore"))
            restoreData();
        const qint64 ms = timer.elapsed();
        std::printf("%lld %lld\n", static_cast<long long>(ms),
                    static_cast<long long>(peakMemoryKb()));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(mode), error.what());
        return 1;
    }
    return 0;
}

struct Figure {
    qint64 ms = 0;
    qint64 peakKb = 0;
};

// One run of `mode` in a process of its own.
Figure runOnce(const QString &mode, const QString &folder) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), mode, folder});
    child.waitForFinished(-1);
    const QList<QByteArray> parts = child.readAllStandardOutput().trimmed().split(' ');
    if (child.exitCode() != 0 || parts.size() != 2) {
        std::fprintf(stderr, "%s failed\n", qPrintable(mode));
        std::exit(1);
    }
    return {parts[0].toLongLong(), parts[1].toLongLong()};
}

// The median time and the highest peak of `runs` runs in each folder. The folders take turns, so
// that the disk's flushes, which come and go over seconds, weigh on both alike.
std::vector<Figure> measure(const QString &mode, const QStringList &folders, int runs = Runs) {
    std::vector<QList<qint64>> times(size_t(folders.size()));
    std::vector<Figure> figures(size_t(folders.size()));
    for (int run = 0; run < runs; ++run) {
        for (qsizetype i = 0; i < folders.size(); ++i) {
            const Figure figure = runOnce(mode, folders[i]);
            times[size_t(i)] << figure.ms;
            figures[size_t(i)].peakKb = std::max(figures[size_t(i)].peakKb, figure.peakKb);
        }
    }
    for (size_t i = 0; i < figures.size(); ++i) {
        std::sort(times[i].begin(), times[i].end());
        figures[i].ms = times[i][runs / 2];
    }
    return figures;
}

Figure measure(const QString &mode, const QString &folder) {
    return measure(mode, QStringList{folder}).front();
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() == 4 && arguments[1] == QLatin1String("--child"))
        return runChild(arguments[2], arguments[3]);

    test::CatalogueShape shape;
    shape.books = arguments.size() > 1 ? arguments[1].toInt() : 100000;
    QTemporaryDir dir;
    try {
        createDatabaseFile(dir.filePath(files::Catalogue), schema::catalogueStatements());
        createDatabaseFile(dir.filePath(files::RestoreTemplate), schema::catalogueStatements());
        QElapsedTimer timer;
        timer.start();
        test::generateCatalogue(dir.filePath(files::Catalogue), shape);
        std::printf("generated %d books, %d authors, %d publishers in %lld ms\n", shape.books,
                    shape.authors, shape.publishers, static_cast<long long>(timer.elapsed()));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }

    // The same catalogue with a reading for every book, author and publisher: the most our own
    // file can add to a backup and a restore.
    QTemporaryDir withReadings;
    for (const QString &name : {files::Catalogue, files::RestoreTemplate})
        QFile::copy(dir.filePath(name), withReadings.filePath(name));
    addEveryReading(withReadings.filePath(files::Catalogue));

    // Medians of several runs each; backup before restore, which reads what backup wrote. The
    // catalogues with and without readings take turns, as their ratio is the figure that counts.
    const QStringList both = {dir.path(), withReadings.path()};
    constexpr int PairedRuns = 7;
    const Figure qtRead = measure(QStringLiteral("read"), dir.path());
    const Figure read = measure(QStringLiteral("raw-read"), dir.path());
    const std::vector<Figure> backups = measure(QStringLiteral("backup"), both, PairedRuns);
    const Figure qtInsert = measure(QStringLiteral("insert"), dir.path());
    const Figure insert = measure(QStringLiteral("raw-insert"), dir.path());
    QFile::remove(dir.filePath(owndatafile::FileName)); // a set from before our own file
    const std::vector<Figure> restores = measure(QStringLiteral("restore"), both, PairedRuns);
    const Figure &backup = backups[0], &ownBackup = backups[1];
    const Figure &restore = restores[0], &ownRestore = restores[1];

    std::printf("%-28s %8s %10s\n", "operation", "ms", "peak MB");
    auto row = [](const char *name, const Figure &f) {
        std::printf("%-28s %8lld %10.1f\n", name, static_cast<long long>(f.ms), f.peakKb / 1024.0);
    };
    row("read, through QtSql", qtRead);
    row("read, SQLite C interface", read);
    row("backupData", backup);
    row("insert, through QtSql", qtInsert);
    row("insert, SQLite C interface", insert);
    row("restoreData", restore);
    row("backupData, every reading", ownBackup);
    row("restoreData, every reading", ownRestore);
    const double backupRatio = double(backup.ms) / std::max<qint64>(1, read.ms);
    const double restoreRatio = double(restore.ms) / std::max<qint64>(1, insert.ms);
    std::printf("backup / C read     = %.2f (target <= 3, and < 1000 ms)\n", backupRatio);
    std::printf("restore / C insert  = %.2f (target <= 2, and < 1500 ms)\n", restoreRatio);
    std::printf("backup with / without readings  = %.2f (target <= 1.10)\n",
                double(ownBackup.ms) / std::max<qint64>(1, backup.ms));
    std::printf("restore with / without readings = %.2f (target <= 1.10)\n",
                double(ownRestore.ms) / std::max<qint64>(1, restore.ms));
    std::printf("peak memory target < 100 MB\n");
    return 0;
}
