// bench_utilities [books]: reset, snapshot and CSV export of a synthetic catalogue (100,000
// books by default); the export against plain SQLite reading the same joined rows.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "base/FileNames.h"
#include "db/Connection.h"
#include "db/DatabaseFile.h"
#include "db/Schema.h"
#include "db/SqliteStatement.h"
#include "maintenance/CatalogueExport.h"
#include "maintenance/ResetData.h"
#include "maintenance/Snapshots.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>

using namespace hondana;
using namespace hondana::bench;

namespace {

constexpr int Runs = 3;
const QString Source = QStringLiteral("Data Source=TOSHO.MDB;");

// The books with their master names, as one query over SQLite's C interface would join them.
QString joinedRows() {
    QStringList select;
    for (const schema::Column &column : schema::table(QStringLiteral("BOOK")).columns)
        select << QStringLiteral("b.") + schema::identifier(column.name);
    const char *names[][3] = {{"著者名", "CHOSHA", "著者NO"},
                              {"発行所", "HAKKOU", "発行所NO"},
                              {"分野名", "BUNYA", "分野NO"},
                              {"ｻｲｽﾞ名", "SAIZU", "ｻｲｽﾞNO"}};
    for (const auto &name : names)
        select << QStringLiteral("(SELECT m.[%1] FROM %2 m WHERE m.[%3] = b.[%3] LIMIT 1)")
                      .arg(QString::fromUtf8(name[0]), QString::fromUtf8(name[1]),
                           QString::fromUtf8(name[2]));
    return QStringLiteral("SELECT %1 FROM BOOK b ORDER BY b.[著者NO], b.[題名], b.[SEQNO]")
        .arg(select.join(u", "));
}

// Steps through the joined rows touching every value: the least any exporter needs.
void rawRead(const QString &folder) {
    Connection connection(Source, folder);
    connection.open();
    sqlite3 *handle = sqlite::handleOf(connection.database());
    sqlite::Statement query(handle, joinedRows(), QStringLiteral("bench"));
    const int columns = sqlite3_column_count(query.get());
    qint64 bytes = 0;
    while (query.step() == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            sqlite3_column_text(query.get(), i);
            bytes += sqlite3_column_bytes(query.get(), i);
        }
    }
    if (bytes == 0)
        std::fprintf(stderr, "nothing read\n");
}

qint64 exportTo(QByteArray &out, const QString &folder, CsvEncoding encoding) {
    out.clear();
    return exportCatalogue(Source, folder, encoding,
                           [&out](QByteArrayView bytes) { out.append(bytes); });
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    test::CatalogueShape shape;
    shape.books = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir dir;
    const QString catalogue = dir.filePath(files::Catalogue);
    const QString pristine = dir.filePath(QStringLiteral("PRISTINE.MDB"));
    try {
        createDatabaseFile(catalogue, schema::catalogueStatements());
        test::generateCatalogue(catalogue, shape);
        QFile::copy(catalogue, pristine);
        const auto fresh = [&] {
            QDir(snapshots::folderOf(catalogue)).removeRecursively();
            QFile::remove(catalogue);
            QFile::copy(pristine, catalogue);
        };

        const double snapshot = medianMs(
            Runs, [&] { snapshots::take(catalogue, snapshots::BeforeReset); }, fresh);
        const qint64 snapshotMb = QFileInfo(catalogue).size() / (1024 * 1024);
        const double reset = medianMs(
            Runs, [&] { resetData(Source, dir.path()); }, fresh);
        fresh();
        const double read = medianMs(Runs, [&] { rawRead(dir.path()); });
        QByteArray csv;
        csv.reserve(64 << 20);
        qint64 books = 0;
        const double utf8 =
            medianMs(Runs, [&] { books = exportTo(csv, dir.path(), CsvEncoding::Utf8); });
        const qint64 csvMb = csv.size() / (1024 * 1024);
        const double cp932 = medianMs(Runs, [&] { exportTo(csv, dir.path(), CsvEncoding::Cp932); });

        std::printf("%d books, catalogue %lld MB, CSV %lld MB (%lld rows)\n", shape.books,
                    static_cast<long long>(snapshotMb), static_cast<long long>(csvMb),
                    static_cast<long long>(books));
        std::printf("%-40s %8.0f ms (target < 500)\n", "snapshot (online backup, flushed)",
                    snapshot);
        std::printf("%-40s %8.0f ms (target < 500)\n", "reset, its snapshot included", reset);
        std::printf("%-40s %8.0f ms\n", "SQLite reading the joined rows", read);
        std::printf("%-40s %8.0f ms (target < 1000), %.2f x read (target <= 3)\n", "export, UTF-8",
                    utf8, utf8 / std::max(1.0, read));
        std::printf("%-40s %8.0f ms\n", "export, cp932", cp932);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
