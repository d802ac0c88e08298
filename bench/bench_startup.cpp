// bench_startup [books]: the time from the program's start to the main menu on the screen, with a
// synthetic catalogue of that many books (100,000 by default). Each run is a fresh process, so
// the figure includes making the application object, fonts and translations; the start-up
// decision alone is measured as well.

#include "CatalogueGenerator.h"
#include "app/ApplicationSetup.h"
#include "app/MainMenu.h"
#include "app/Shell.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "core/Startup.h"
#include "db/Connection.h"
#include "db/DatabaseFile.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QWindow>
#include <algorithm>
#include <cstdio>

using namespace hondana;

namespace {

constexpr int Runs = 7;

// A folder where start-up goes straight to the main menu: the shipped files, the current
// version database and an accepted catalogue of `books` books.
void prepareFolder(const QDir &folder, int books) {
    test::CatalogueShape shape;
    shape.books = books;
    const QString catalogue = test::seedDataFolder(folder.path(), shape);
    QFile::copy(folder.filePath(files::VersionTemplate), folder.filePath(files::VersionDatabase));
    const QString name = openDatabaseFile(catalogue, QStringLiteral("bench"));
    QSqlQuery(QSqlDatabase::database(name, false))
        .exec(QStringLiteral("INSERT INTO DOUI (ID) VALUES (1)"));
    closeDatabase(name);
}

// One start of the program in the current directory; prints the milliseconds to the exposed
// main menu and to the decision alone.
int measureOnce(int argc, char *argv[]) {
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication application(argc, argv);
    setUpApplication(application);
    registerShellWindows();
    if (!startProgram())
        return 1;
    QWidget *menu = WindowRegistry::instance().existing(MainMenu::Name);
    if (!menu || !menu->isVisible())
        return 1;
    while (!menu->windowHandle() || !menu->windowHandle()->isExposed())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::processEvents();
    const qint64 toMenu = sinceStart.nsecsElapsed();

    QElapsedTimer decision;
    decision.start();
    AppState::instance().reset();
    if (decideFirstWindow() != FirstWindow::MainMenu)
        return 1;
    std::printf("%lld %lld\n", static_cast<long long>(toMenu),
                static_cast<long long>(decision.nsecsElapsed()));
    return 0;
}

double milliseconds(qint64 nanoseconds) {
    return nanoseconds / 1e6;
}

} // namespace

int main(int argc, char *argv[]) {
    if (argc > 1 && QByteArray(argv[1]) == "--measure")
        return measureOnce(argc, argv);

    QCoreApplication application(argc, argv);
    const int books = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir folder;
    QElapsedTimer timer;
    timer.start();
    try {
        prepareFolder(QDir(folder.path()), books);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    std::printf("catalogue of %d books made in %lld ms\n", books,
                static_cast<long long>(timer.elapsed()));

    QList<qint64> toMenu, decision;
    for (int run = 0; run < Runs; ++run) {
        QProcess child;
        child.setWorkingDirectory(folder.path());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (!environment.contains(QStringLiteral("QT_QPA_PLATFORM")) &&
            !environment.contains(QStringLiteral("DISPLAY")))
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--measure")});
        if (!child.waitForFinished(60000) || child.exitCode() != 0) {
            std::fprintf(stderr, "run %d failed: %s\n", run,
                         child.readAllStandardError().constData());
            return 1;
        }
        const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
        toMenu << figures.value(0).toLongLong();
        decision << figures.value(1).toLongLong();
    }
    std::sort(toMenu.begin(), toMenu.end());
    std::sort(decision.begin(), decision.end());
    std::printf(
        "start to exposed main menu: median %.1f ms, worst %.1f ms (%d runs; target < 300 ms)\n",
        milliseconds(toMenu[Runs / 2]), milliseconds(toMenu.last()), Runs);
    std::printf("start-up decision alone:    median %.2f ms, worst %.2f ms\n",
                milliseconds(decision[Runs / 2]), milliseconds(decision.last()));
    return milliseconds(toMenu[Runs / 2]) < 300 ? 0 : 2;
}
