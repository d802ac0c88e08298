// bench_statistics [books]: the statistics window's figures read from a catalogue of 100,000
// books by default, for all years and for one year, each the median of five reads on a warm file
// (the window reads them again whenever the year changes). The screen itself, from the click to
// idle, is timed by bench_screens.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "catalogue/CollectionStatistics.h"
#include "db/Connection.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>

using namespace hondana;
using namespace hondana::bench;

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    test::CatalogueShape shape;
    shape.books = arguments.size() > 1 ? arguments.at(1).toInt() : 100000;
    QTemporaryDir dir;
    test::seedDataFolder(dir.path(), shape);
    QDir::setCurrent(dir.path());
    std::printf("catalogue: %d books; load average %s\n", shape.books, qPrintable(loadAverage()));

    Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"));
    connection.open();
    const QDate today = QDate::currentDate();
    CollectionStatistics figures;
    const double all = medianMs(5, [&] { figures = readCollectionStatistics(connection, today); });
    qint64 months = figures.boughtPerMonth.size();
    const double year =
        medianMs(5, [&] { figures = readCollectionStatistics(connection, today, 2020); });
    std::printf("statistics, all years (%lld months): %.0f ms (goal 300)\n",
                static_cast<long long>(months), all);
    std::printf("statistics, the year 2020: %.0f ms (goal 300)\n", year);
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    return 0;
}
