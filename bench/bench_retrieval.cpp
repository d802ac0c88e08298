// bench_retrieval [books]: the searches and the grouped lists as the user opens them from the
// register's menu, on a synthetic catalogue (100,000 books, 12,500 authors by default). Run it
// on a real X server (DISPLAY set, e.g. Xvfb), so "shown" means painted: each search opening
// until its grid is painted; a search from 抽出 until the grid is painted again, against a plain
// scan of the loaded titles with the same folding comparison; a grouped list opening and a move
// to the next parent; the memory of the register with one search open.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "app/Shell.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/TextFolding.h"
#include "register/BookRegister.h"
#include "retrieval/GroupedList.h"
#include "retrieval/QueryScreen.h"
#include "widgets/DataGrid.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QToolButton>

#include <cstdio>
#include <ctime>

using namespace hondana;
using namespace hondana::bench;

namespace {

// Wall-clock and processor time of one run, in ms; on a shared machine the processor time is
// the steadier figure.
struct Timing {
    double wall;
    double cpu;
};

Timing timed(const std::function<void()> &work) {
    const std::clock_t cpu = std::clock();
    QElapsedTimer timer;
    timer.start();
    work();
    return {double(timer.nsecsElapsed()) / 1e6,
            double(std::clock() - cpu) * 1000.0 / CLOCKS_PER_SEC};
}

double medianOf(const std::vector<Timing> &runs, double Timing::*which) {
    std::vector<double> values;
    for (const Timing &run : runs)
        values.push_back(run.*which);
    return median(values);
}

// Notes when a widget has been painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject *, QEvent *event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// Runs the event loop until `view`'s cells have been painted (10 s at most).
void waitPainted(QAbstractItemView *view, const std::function<void()> &action) {
    PaintWatch watch;
    view->viewport()->installEventFilter(&watch);
    action();
    QElapsedTimer limit;
    limit.start();
    while (!watch.painted && limit.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    view->viewport()->removeEventFilter(&watch);
}

// Clicks a menu item of the register and waits until the screen it opens has painted its grid.
QWidget *openFromMenu(BookRegister *form, const QString &item, const QString &screen) {
    QAction *action = form->findChild<QAction *>(item);
    // The grid exists only once the screen is made; watch the application for its first paint.
    struct AnyGridPaint : QObject {
        bool painted = false;
        bool eventFilter(QObject *object, QEvent *event) override {
            if (event->type() == QEvent::Paint && object->parent() &&
                qobject_cast<QTableView *>(object->parent()))
                painted = true;
            return false;
        }
    } any;
    qApp->installEventFilter(&any);
    action->trigger();
    QElapsedTimer limit;
    limit.start();
    while (!any.painted && limit.elapsed() < 10000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    qApp->removeEventFilter(&any);
    return WindowRegistry::instance().existing(screen);
}

void closeWindow(QWidget *window) {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

void prepareFolder(const QString &folder, int books) {
    test::CatalogueShape shape;
    shape.books = books;
    shape.authors = 12500;
    test::seedDataFolder(folder, shape);
    QDir::setCurrent(folder);
    std::printf("catalogue: %d books, %d authors; platform %s\n", shape.books, shape.authors,
                qPrintable(QGuiApplication::platformName()));
}

// What the search does without its screen: every loaded title through the same comparison.
int plainScan(const RecordSet &set, const QString &typed) {
    const QString pattern = folding::folded(typed);
    const int field = set.fieldIndex(QStringLiteral("題名"));
    int found = 0;
    for (int row = 0; row < set.recordCount(); ++row)
        found += folding::startsWith(set.valueAt(row, field).toString(), pattern) ? 1 : 0;
    return found;
}

} // namespace

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QTemporaryDir dir;
    prepareFolder(dir.path(), argc > 1 ? std::atoi(argv[1]) : 100000);
    AppState::instance().admission = AppState::Admission::Yes;
    registerAllWindows();

    WindowRegistry::instance().show(BookRegister::Name);
    auto *form =
        qobject_cast<BookRegister *>(WindowRegistry::instance().existing(BookRegister::Name));
    QApplication::processEvents();

    const struct {
        const char *item;
        const char *box;
        const char *typed;
    } searches[] = {{"DAIMEIQ", "DAIMEI", "ぷろ"},
                    {"CHOSHAQ", "CHOSHA", "やまだ"},
                    {"KANRIQ", "KANRI1", "A-00001"}};
    for (const auto &search : searches) {
        const QString name = QString::fromLatin1(search.item);
        std::vector<Timing> opens;
        QWidget *screen = nullptr;
        for (int i = 0; i < 5; ++i) {
            if (screen)
                closeWindow(screen);
            opens.push_back(timed([&] { screen = openFromMenu(form, name, name); }));
            if (i == 0 && name == QStringLiteral("DAIMEIQ"))
                std::printf("memory, register and one search open: %6.1f MB  (limit 250 MB)\n",
                            double(residentKb()) / 1024.0);
        }
        auto *query = static_cast<QueryScreen *>(screen);
        const QString typed = QString::fromUtf8(search.typed);
        query->findChild<QLineEdit *>(QString::fromLatin1(search.box))->setText(typed);
        auto *button = query->findChild<QPushButton *>(QStringLiteral("Command1"));
        RecordSet &set = query->dataSource()->recordSet();
        std::vector<Timing> searchTimes, scanTimes;
        int found = 0;
        for (int k = 0; k < 7; ++k) {
            searchTimes.push_back(
                timed([&] { waitPainted(query->grid(), [&] { button->click(); }); }));
            found = set.recordCount();
            set.setFilter({});
            scanTimes.push_back(timed([&] { plainScan(set, typed); }));
        }
        std::printf("%s: open to first rows painted %7.1f ms (processor %6.1f ms; limit 300 ms)\n"
                    "  search \"%s\" (%d found) %6.1f ms (processor %5.1f ms; limit 100 ms), plain "
                    "scan %5.1f ms (processor %5.1f ms), ratio %.2f (processor %.2f; limit 2x)\n",
                    search.item, medianOf(opens, &Timing::wall), medianOf(opens, &Timing::cpu),
                    search.typed, found, medianOf(searchTimes, &Timing::wall),
                    medianOf(searchTimes, &Timing::cpu), medianOf(scanTimes, &Timing::wall),
                    medianOf(scanTimes, &Timing::cpu),
                    medianOf(searchTimes, &Timing::wall) / medianOf(scanTimes, &Timing::wall),
                    medianOf(searchTimes, &Timing::cpu) / medianOf(scanTimes, &Timing::cpu));
        closeWindow(screen);
    }

    const char *lists[][2] = {{"BUNYA1", "BUNYA2"}, {"CHOSHA1", "CHOSHA2"}, {"HAKKOU1", "HAKKO2"}};
    for (const auto &list : lists) {
        std::vector<Timing> opens, moves;
        for (int i = 0; i < 3; ++i) {
            GroupedList *screen = nullptr;
            opens.push_back(timed([&] {
                screen = static_cast<GroupedList *>(
                    openFromMenu(form, QString::fromLatin1(list[0]), QString::fromLatin1(list[1])));
            }));
            auto *next =
                screen->navigator()->findChild<QToolButton *>(QStringLiteral("cmdMoveNext"));
            for (int k = 0; k < 11; ++k)
                moves.push_back(
                    timed([&] { waitPainted(screen->grid(), [&] { next->click(); }); }));
            closeWindow(screen);
        }
        std::printf("%s: open to first chapter painted %7.1f ms (processor %6.1f ms; limit 500 "
                    "ms); next parent %5.2f ms (processor %5.2f ms; limit 10 ms)\n",
                    list[1], medianOf(opens, &Timing::wall), medianOf(opens, &Timing::cpu),
                    medianOf(moves, &Timing::wall), medianOf(moves, &Timing::cpu));
    }
    return 0;
}
