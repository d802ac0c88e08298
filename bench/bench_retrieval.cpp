// bench_retrieval [books]: the searches and the grouped lists as the user opens them from the
// register's menu, on a synthetic catalogue (100,000 books, 12,500 authors by default). Run it
// on a real X server (DISPLAY set, e.g. Xvfb), so "shown" means painted: each search opening
// until its grid is painted; a search from 抽出 until the grid is painted again, against a plain
// scan of the loaded titles with the same folding comparison; a grouped list opening and a move
// to the next parent; the memory of the register with one search open.

#include "BenchSupport.h"
#include "app/Shell.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/TextFolding.h"
#include "register/MEISAI.h"
#include "retrieval/GroupedList.h"
#include "retrieval/QueryScreen.h"
#include "support/CatalogueGenerator.h"
#include "widgets/DataControl.h"
#include "widgets/DataGrid.h"
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

using namespace hondana;
using namespace hondana::bench;

namespace {

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
QWidget *openFromMenu(MEISAI *form, const QString &item, const QString &screen) {
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
    QDir::setCurrent(folder);
    const QDir shipped(QStringLiteral(HONDANA_STAGED_DATA_DIR));
    QFile::copy(shipped.filePath(files::CatalogueTemplate), files::Catalogue);
    QFile::copy(shipped.filePath(files::CatalogueLink), files::CatalogueLink);
    QFile::setPermissions(files::Catalogue, QFile::ReadOwner | QFile::WriteOwner);
    test::CatalogueShape shape;
    shape.books = books;
    shape.authors = 12500;
    test::generateCatalogue(QDir(folder).filePath(files::Catalogue), shape);
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

    WindowRegistry::instance().show(MEISAI::Name);
    auto *form = qobject_cast<MEISAI *>(WindowRegistry::instance().existing(MEISAI::Name));
    QApplication::processEvents();

    const struct {
        const char *item;
        const char *typed;
    } searches[] = {{"DAIMEIQ", "の"}, {"CHOSHAQ", "やま"}, {"KANRIQ", "1"}};
    for (const auto &search : searches) {
        const QString name = QString::fromLatin1(search.item);
        std::vector<double> opens;
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer timer;
            timer.start();
            QWidget *screen = openFromMenu(form, name, name);
            opens.push_back(double(timer.nsecsElapsed()) / 1e6);
            if (i == 0 && name == QStringLiteral("DAIMEIQ"))
                std::printf("memory, register and one search open: %6.1f MB  (limit 250 MB)\n",
                            double(residentKb()) / 1024.0);
            if (i < 4) {
                closeWindow(screen);
                continue;
            }
            auto *query = static_cast<QueryScreen *>(screen);
            const QString typed = QString::fromUtf8(search.typed);
            auto *box = query->findChild<QLineEdit *>(query->description().inputs.back().name);
            box->setText(typed);
            auto *button = query->findChild<QPushButton *>(QStringLiteral("Command1"));
            std::vector<double> searchTimes, scanTimes;
            int found = 0;
            for (int k = 0; k < 7; ++k) {
                QElapsedTimer t;
                t.start();
                waitPainted(query->grid(), [&] { button->click(); });
                searchTimes.push_back(double(t.nsecsElapsed()) / 1e6);
                found = query->dataControl()->recordSet().recordCount();
                query->dataControl()->recordSet().setFilter({});
                scanTimes.push_back(
                    medianMs(1, [&] { plainScan(query->dataControl()->recordSet(), typed); }));
            }
            const double searchMs = median(searchTimes);
            const double scanMs = median(scanTimes);
            std::printf("%s: open to first rows painted %6.1f ms (limit 300 ms); search \"%s\" "
                        "(%d found) %6.1f ms, plain scan %5.1f ms, ratio %.2f (limits 100 ms, "
                        "2x)\n",
                        search.item, median(opens), search.typed, found, searchMs, scanMs,
                        searchMs / scanMs);
            closeWindow(screen);
        }
    }

    const char *lists[][2] = {{"BUNYA1", "BUNYA2"}, {"CHOSHA1", "CHOSHA2"}, {"HAKKOU1", "HAKKO2"}};
    for (const auto &list : lists) {
        std::vector<double> opens, moves;
        for (int i = 0; i < 3; ++i) {
            QElapsedTimer timer;
            timer.start();
            auto *screen = static_cast<GroupedList *>(
                openFromMenu(form, QString::fromLatin1(list[0]), QString::fromLatin1(list[1])));
            opens.push_back(double(timer.nsecsElapsed()) / 1e6);
            auto *next =
                screen->dataControl()->findChild<QToolButton *>(QStringLiteral("cmdMoveNext"));
            for (int k = 0; k < 11; ++k) {
                QElapsedTimer t;
                t.start();
                waitPainted(screen->grid(), [&] { next->click(); });
                moves.push_back(double(t.nsecsElapsed()) / 1e6);
            }
            closeWindow(screen);
        }
        std::printf("%s: open to first chapter painted %6.1f ms (limit 500 ms); next parent "
                    "%5.2f ms (limit 10 ms)\n",
                    list[1], median(opens), median(moves));
    }
    return 0;
}
