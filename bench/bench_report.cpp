// bench_report [books] [pdfBooks]: the detail report on synthetic catalogues: from the menu
// item to the first page in the preview on a large catalogue (100,000 books by default), a move
// to a far page, and saving the whole report of a smaller one (10,000 books) as a PDF.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "app/ApplicationSetup.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "retrieval/DetailReport.h"
#include "retrieval/ReportRows.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>

using namespace hondana;
using namespace hondana::bench;

namespace {

void prepareFolder(const QString &folder, int books) {
    test::CatalogueShape shape;
    shape.books = books;
    test::seedDataFolder(folder, shape);
    QDir::setCurrent(folder);
}

double cpuMsSince(std::clock_t start) {
    return double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
}

// What the register's menu item does, until the preview has painted its first page.
void showReport(DetailReport &report) {
    report.show();
    QApplication::processEvents();
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    setUpApplication(application);
    const int books = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int pdfBooks = argc > 2 ? std::atoi(argv[2]) : 10000;

    QTemporaryDir large;
    prepareFolder(large.path(), books);
    {
        DetailReport report;
        std::vector<double> times, cpu;
        for (int i = 0; i < 5; ++i) {
            const std::clock_t start = std::clock();
            times.push_back(medianMs(1, [&] { showReport(report); }));
            cpu.push_back(cpuMsSince(start));
            report.close();
        }
        std::printf("%d books: first preview page  %7.1f ms  (processor %.1f ms; limit 1000 ms; "
                    "%d pages)\n",
                    books, median(times), median(cpu), report.pageCount());
        ReportRows rows;
        const double count =
            medianMs(5, [&] { rows.read(AppState::instance().mainConnectionString); });
        std::printf("  of which counting the rows:  %7.1f ms\n", count);
        report.show();
        const double far = medianMs(
            5, [&] { report.showPage(report.pageCount() - 5); }, [&] { report.showPage(1); });
        std::printf("%d books: move to a far page  %7.1f ms\n", books, far);
        std::printf("memory with the preview open:  %7.1f MB resident\n",
                    double(residentKb()) / 1024.0);
    }

    QTemporaryDir small;
    prepareFolder(small.path(), pdfBooks);
    DetailReport report;
    report.show();
    const QString pdf = QDir(small.path()).filePath(QStringLiteral("蔵書明細.pdf"));
    const std::clock_t start = std::clock();
    const double save = medianMs(3, [&] { report.saveAsPdf(pdf); });
    std::printf("%d books: PDF of %d pages     %7.1f ms  (processor %.1f ms; limit 10000 ms; "
                "%.1f MB)\n",
                pdfBooks, report.pageCount(), save, cpuMsSince(start) / 3,
                double(QFileInfo(pdf).size()) / 1e6);
    return 0;
}
