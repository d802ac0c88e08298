// bench_import [books]: an import of our own export against the restore of the same books from
// the backup file set, measured in one run on a synthetic catalogue (100,000 books and 12,500
// authors by default). Each is hondana-admin as a user runs it, in a process of its own: the
// restore, then the reading pass the window runs after a restore (the command leaves it to
// `readings`), the dry run, and the import into an empty catalogue, whose reading pass is its
// own.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <stdexcept>

using namespace hondana;

namespace {

constexpr int Runs = 3;

// Runs hondana-admin in `folder`; returns its milliseconds. Throws when it fails.
double admin(const QString &folder, const QStringList &arguments) {
    QProcess process;
    process.setWorkingDirectory(folder);
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral(HONDANA_ADMIN_PROGRAM), arguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        throw std::runtime_error(
            (arguments.join(u' ') + QStringLiteral(": ") +
             QString::fromUtf8(process.readAllStandardError() + process.readAllStandardOutput()))
                .toStdString());
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    test::CatalogueShape shape;
    shape.books = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 100000;
    shape.authors = 12500;
    QTemporaryDir dir;
    const QString folder = dir.path();
    try {
        test::seedDataFolder(folder, shape);
        const QString exported = QDir(folder).filePath(QStringLiteral("export.csv"));
        admin(folder, {QStringLiteral("backup")});
        admin(folder, {QStringLiteral("export"), QStringLiteral("--output"), exported});
        std::printf("catalogue: %d books, %d authors; load average %s\n", shape.books,
                    shape.authors, qPrintable(bench::loadAverage()));
        std::vector<double> restores, readings, dryRuns, imports;
        for (int run = 0; run < Runs; ++run) {
            restores.push_back(admin(folder, {QStringLiteral("restore"), QStringLiteral("--yes")}));
            readings.push_back(admin(folder, {QStringLiteral("readings")}));
            admin(folder, {QStringLiteral("reset"), QStringLiteral("--yes")});
            dryRuns.push_back(
                admin(folder, {QStringLiteral("import"), QStringLiteral("--dry-run"), exported}));
            imports.push_back(admin(folder, {QStringLiteral("import"), exported}));
        }
        const double restore = bench::median(restores);
        std::printf("restore from the backup files: %.0f ms; the reading pass after it: %.0f ms\n",
                    restore, bench::median(readings));
        std::printf("import --dry-run of the export: %.0f ms (%.2f× the restore; goal 2×)\n",
                    bench::median(dryRuns), bench::median(dryRuns) / restore);
        const double withReadings = restore + bench::median(readings);
        std::printf("import of the export into an empty catalogue, its reading pass included: "
                    "%.0f ms (%.2f× the restore, %.2f× the restore and its reading pass; goal "
                    "2×)\n",
                    bench::median(imports), bench::median(imports) / restore,
                    bench::median(imports) / withReadings);
        std::printf("load average after: %s\n", qPrintable(bench::loadAverage()));
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
