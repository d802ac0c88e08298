// bench_recordset [books]: the register's record set on a synthetic catalogue (100,000 books and
// 5,000 authors by default): opening it against what plain SQLite needs to read the same SQL in
// the same run, first <-> last, saving one changed book, the memory the open set holds, and the
// lookup and master-grid opens of 5,000 authors through the bound widgets.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/RecordSet.h"
#include "db/SqliteStatement.h"
#include "register/BookRegister.h"
#include "widgets/DataCombo.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>

using namespace hondana;
using namespace hondana::bench;

namespace {

// The register's own record source.
const QString RegisterSql = hondana::BookRegister::RecordSource;
const QString Link = QStringLiteral("FILE NAME=Karobu.udl");

// What SQLite itself needs: run the SQL and fetch every value of every row in its stored form.
void readWithSqlite(Connection &connection) {
    sqlite3 *db = sqlite::handleOf(connection.database());
    sqlite3_stmt *st = nullptr;
    const QByteArray sql = RegisterSql.toUtf8();
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &st, nullptr);
    const int columns = sqlite3_column_count(st);
    qint64 sink = 0;
    while (sqlite3_step(st) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (sqlite3_column_type(st, i) == SQLITE_TEXT)
                sink += sqlite3_column_bytes(st, i) + (sqlite3_column_text(st, i) != nullptr);
            else
                sink += sqlite3_column_int64(st, i);
        }
    }
    sqlite3_finalize(st);
    if (sink == 42)
        std::puts("");
}

// The same through Qt's driver, one QVariant per value, for comparison.
void readWithQtDriver(Connection &connection) {
    QSqlQuery q(connection.database());
    q.setForwardOnly(true);
    q.exec(RegisterSql);
    const int columns = q.record().count();
    qint64 sink = 0;
    while (q.next()) {
        for (int i = 0; i < columns; ++i)
            sink += q.value(i).isNull() ? 0 : 1;
    }
    if (sink < 0)
        std::puts("");
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int books = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir dir;
    test::CatalogueShape shape;
    shape.books = books;
    shape.authors = 5000;
    test::seedDataFolder(dir.path(), shape);
    QDir::setCurrent(dir.path());
    std::printf("catalogue: %d books, %d authors\n", shape.books, shape.authors);

    Connection connection(Link);
    connection.open();
    readWithSqlite(connection); // warm the page cache for both measurements alike

    const double sqlite = medianMs(5, [&] { readWithSqlite(connection); });
    const double qtDriver = medianMs(3, [&] { readWithQtDriver(connection); });
    const qint64 before = residentKb();
    RecordSet kept;
    kept.open(connection, RegisterSql);
    const qint64 after = residentKb();
    const double open = medianMs(5, [&] {
        RecordSet set;
        set.open(connection, RegisterSql);
        set.value(QStringLiteral("題名"));
    });
    std::printf("open register set:     %8.1f ms  (SQLite read %.1f ms, ratio %.2f; limit 300 ms "
                "and 3x)\n",
                open, sqlite, open / sqlite);
    std::printf("  (the same SQL through Qt's driver: %.1f ms)\n", qtDriver);
    std::printf("memory of the open set: %8.1f MB  (limit 150 MB)\n", (after - before) / 1024.0);

    const double firstLast = medianMs(21, [&] {
        kept.moveLast();
        kept.moveFirst();
    });
    std::printf("first <-> last:         %8.3f ms  (limit 20 ms)\n", firstLast / 2);
    int n = 0;
    const double save = medianMs(21, [&] {
        kept.moveTo(1 + (n * 7919) % kept.recordCount());
        kept.setValue(QStringLiteral("題名"), QStringLiteral("改題%1").arg(++n));
        kept.update();
    });
    std::printf("save one changed book:  %8.3f ms  (limit 20 ms)\n", save);

    // The register's author lookup: its data source re-reads CHOSHA and the combo refills.
    DataSource register_;
    register_.setConnectionString(Link);
    register_.setRecordSource(RegisterSql);
    register_.refresh();
    DataSource authors;
    authors.setConnectionString(Link);
    authors.setRecordSource(QStringLiteral("CHOSHA"));
    authors.refresh();
    DataCombo combo;
    combo.bind(&register_, QStringLiteral("著者NO"));
    combo.setRowSource(&authors, QStringLiteral("著者名"), QStringLiteral("著者NO"));
    const double lookup = medianMs(11, [&] { authors.refresh(); });
    std::printf("lookup refresh (%d):  %8.1f ms  (limit 50 ms)\n", combo.count(), lookup);

    const double master = medianMs(5, [&] {
        DataSource control;
        control.setConnectionString(Link);
        control.setRecordSource(
            QStringLiteral("select 著者NO,著者名,国 from CHOSHA Order by 著者NO"));
        DataGrid grid;
        control.refresh();
        grid.bind(&control);
        grid.resize(600, 400);
        grid.show();
        QApplication::processEvents();
    });
    std::printf("master grid of 5,000:   %8.1f ms  (limit 100 ms)\n", master);
    return 0;
}
