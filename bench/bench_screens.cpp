// bench_screens [books] [authors]: every screen that shows the books, timed as the user meets
// it: from the click on the main menu's 蔵書登録 or on the register's menu item until the window
// is shown and the program has gone idle (the end of the last event it handled, before 300 ms
// of quiet; a text box's blinking caret does not count). Medians of three, wall-clock and
// processor time. Peak memory is measured in fresh processes: the register alone from the
// start to its first book, and the register with each screen opened from it. Run it on a real
// X server (DISPLAY, e.g. Xvfb). 100,000 books and 12,500 authors by default, every book with an
// ISBN of its own, 1,000 books lent (those lent longest ago past due); a run of 1,000,000 books is
// opt-in: `bench_screens 1000000`.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "app/MainMenu.h"
#include "app/Shell.h"
#include "catalogue/Isbn.h"
#include "catalogue/OwnedCopies.h"
#include "collection/CollectionWindows.h"
#include "collection/IsbnSearchWindow.h"
#include "collection/KanaIndexWindow.h"
#include "collection/SeriesWindow.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"
#include "db/RecordSet.h"
#include "register/BookRegister.h"
#include "widgets/DataSource.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTabBar>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace hondana;
using namespace hondana::bench;

namespace {

double cpuMs() {
    return double(std::clock()) * 1000.0 / CLOCKS_PER_SEC;
}

// Notes when the program last finished handling an event.
class TimedApplication : public QApplication {
public:
    using QApplication::QApplication;
    QElapsedTimer clock;
    qint64 lastWork = 0;
    double lastCpu = 0;

    bool notify(QObject *receiver, QEvent *event) override {
        const bool caret = event->type() == QEvent::Timer &&
                           qstrcmp(receiver->metaObject()->className(), "QWidgetLineControl") == 0;
        const bool handled = QApplication::notify(receiver, event);
        if (!caret && clock.isValid()) {
            lastWork = clock.nsecsElapsed();
            lastCpu = cpuMs();
        }
        return handled;
    }
};

struct Timing {
    double wall;
    double cpu;
};

TimedApplication &app() {
    return *static_cast<TimedApplication *>(qApp);
}

// Runs `action`, then the event loop until it has been quiet for 300 ms (10 s at most); the
// time from the action to the end of the last event handled.
Timing untilIdle(const std::function<void()> &action) {
    TimedApplication &a = app();
    a.clock.start();
    const double cpu = cpuMs();
    a.lastWork = 0;
    a.lastCpu = cpu;
    action();
    a.lastWork = a.clock.nsecsElapsed();
    a.lastCpu = cpuMs();
    while (a.clock.nsecsElapsed() - a.lastWork < 300'000'000 &&
           a.clock.nsecsElapsed() < 10'000'000'000)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    return {double(a.lastWork) / 1e6, a.lastCpu - cpu};
}

QWidget *window(const QString &name) {
    return WindowRegistry::instance().existing(name);
}

void startAtMainMenu() {
    AppState::instance().admission = AppState::Admission::Yes;
    registerAllWindows();
    WindowRegistry::instance().show(MainMenu::Name);
    untilIdle([] {});
}

Timing openRegister() {
    auto *button = window(MainMenu::Name)->findChild<QPushButton *>(QStringLiteral("Command2"));
    return untilIdle([button] { button->click(); });
}

struct Screen {
    const char *caption;
    const char *item; // the register's menu item
    const char *window;
};

const Screen Screens[] = {
    {"題名・抽出", "DAIMEIQ", "DAIMEIQ"},      {"著者名・抽出", "CHOSHAQ", "CHOSHAQ"},
    {"管理番号・抽出", "KANRIQ", "KANRIQ"},    {"未読一覧", "未読一覧", "MIDOKU"},
    {"著者名別一覧", "CHOSHA1", "CHOSHA2"},    {"分野別一覧", "BUNYA1", "BUNYA2"},
    {"発行所別一覧", "HAKKOU1", "HAKKO2"},     {"50音索引", "GOJUONI", "GOJUON"},
    {"シリーズ", "SHIRIIZUI", "SHIRIIZU"},     {"統計", "TOUKEII", "TOUKEI"},
    {"貸出一覧", "KASHIDASHII", "KASHIDASHI"},
};

Timing openScreen(const Screen &screen) {
    QAction *action =
        window(BookRegister::Name)->findChild<QAction *>(QString::fromUtf8(screen.item));
    return untilIdle([action] { action->trigger(); });
}

void closeScreen(const Screen &screen) {
    if (QWidget *open = window(QString::fromUtf8(screen.window)))
        untilIdle([open] { open->close(); });
}

double medianOf(const std::vector<Timing> &runs, double Timing::*which) {
    std::vector<double> values;
    for (const Timing &run : runs)
        values.push_back(run.*which);
    return median(values);
}

void printTimes(const char *what, const std::vector<Timing> &runs) {
    std::printf("%-16s %8.0f ms wall %8.0f ms processor  (runs:", what,
                medianOf(runs, &Timing::wall), medianOf(runs, &Timing::cpu));
    for (const Timing &run : runs)
        std::printf(" %.0f/%.0f", run.wall, run.cpu);
    std::printf(")\n");
}

// The 50音 index beside the register: each tab shown for the first time, a jump to each 50音 row,
// and the register moved to a book far from where it stands.
void measureIndex() {
    QAction *item = window(BookRegister::Name)->findChild<QAction *>(QStringLiteral("GOJUONI"));
    const char *captions[] = {"索引・題名タブ", "索引・著者タブ", "索引・発行所タブ"};
    for (int tab = 0; tab < 3; ++tab) {
        std::vector<Timing> runs;
        for (int i = 0; i < 3; ++i) {
            if (QWidget *open = window(KanaIndexWindow::Name))
                untilIdle([open] { open->close(); });
            // The index opens on its first tab; the others are built when first shown.
            const Timing opening = untilIdle([item] { item->trigger(); });
            auto *tabs = window(KanaIndexWindow::Name)->findChild<QTabBar *>();
            runs.push_back(tab == 0 ? opening
                                    : untilIdle([tabs, tab] { tabs->setCurrentIndex(tab); }));
        }
        printTimes(captions[tab], runs);
    }
    QWidget *index = window(KanaIndexWindow::Name);
    std::vector<Timing> jumps;
    for (int row = 0; row < 11; ++row) {
        auto *button = index->findChild<QPushButton *>(QStringLiteral("cmdRow(%1)").arg(row));
        jumps.push_back(untilIdle([button] { button->click(); }));
    }
    printTimes("索引・行へ移動", jumps);
    // On the titles tab each row's first entry is another book.
    untilIdle([index] { index->findChild<QTabBar *>()->setCurrentIndex(0); });
    // Entries far apart, chosen as the user clicks them; the click makes the index the active
    // window again, as the register was the active one since the last move.
    auto *entries = index->findChild<QTableView *>(QStringLiteral("grdEntries"));
    std::vector<Timing> moves;
    for (double place : {0.9, 0.1, 0.5}) {
        untilIdle([index] { index->activateWindow(); });
        const int entry = int(place * (entries->model()->rowCount() - 1));
        untilIdle(
            [entries, entry] { entries->setCurrentIndex(entries->model()->index(entry, 0)); });
        auto *open = index->findChild<QPushButton *>(QStringLiteral("cmdOpen"));
        const int before = collection::registerBooks()->recordSet().absolutePosition();
        moves.push_back(untilIdle([open] { open->click(); }));
        if (collection::registerBooks()->recordSet().absolutePosition() == before)
            std::printf("(the register stood on the book of entry %d already: no move measured)\n",
                        entry);
    }
    printTimes("索引→登録へ移動", moves);
}

// The ISBN the bench gives book `rowId`: 9784 and the rowid in eight digits, with its check digit.
QString isbnOf(qint64 rowId) {
    const QString twelve = QStringLiteral("9784%1").arg(rowId, 8, 10, QChar(u'0'));
    for (int check = 0; check < 10; ++check) {
        const Isbn isbn = Isbn::tryFromText(twelve + QChar(u'0' + check));
        if (!isbn.isEmpty())
            return isbn.digits();
    }
    return {};
}

int booksIn(const QString &folder) {
    int books = 0;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("count"));
        db.setDatabaseName(QDir(folder).filePath(QStringLiteral("TOSHO.MDB")));
        db.open();
        QSqlQuery count(QStringLiteral("SELECT count(*) FROM BOOK"), db);
        books = count.next() ? count.value(0).toInt() : 0;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("count"));
    return books;
}

void giveEveryBookAnIsbn(const QString &folder, int books) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("isbns"));
        db.setDatabaseName(QDir(folder).filePath(QStringLiteral("TOSHO.MDB")));
        db.open();
        db.transaction();
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO book_isbn (book_rowid, isbn) VALUES (?, ?)"));
        for (int rowId = 1; rowId <= books; ++rowId) {
            insert.addBindValue(rowId);
            insert.addBindValue(isbnOf(rowId));
            insert.exec();
        }
        db.commit();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("isbns"));
}

// 1,000 books spread over the catalogue lent to 37 people over two months; those lent longest ago
// are past due.
void lendAThousandBooks(const QString &folder, int books) {
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("loans"));
        db.setDatabaseName(QDir(folder).filePath(QStringLiteral("TOSHO.MDB")));
        db.open();
        // Every step-th book; k numbers them 1, 2, 3 …
        QSqlQuery(db).exec(
            QStringLiteral(
                "INSERT INTO loan (book_rowid, borrower, lent_on, due_on) SELECT rowid, '借り手' "
                "|| (k % 37), date('now', printf('-%d days', k % 60)), CASE WHEN k % 4 = 0 THEN "
                "NULL ELSE date('now', printf('%+d days', 20 - k % 60)) END FROM (SELECT rowid, "
                "rowid / %1 AS k FROM BOOK WHERE rowid % %1 = 0 LIMIT 1000)")
                .arg(qMax(1, books / 1000)));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("loans"));
}

// ISBNで探す beside the register: from Enter on a scanned ISBN until the register stands on its
// book and the program is idle; books far apart, the first search opening the window's connection.
void measureIsbnSearch(int books) {
    window(BookRegister::Name)->findChild<QAction *>(QStringLiteral("ISBNKENSAKU"))->trigger();
    untilIdle([] {});
    auto *search = static_cast<IsbnSearchWindow *>(window(IsbnSearchWindow::Name));
    auto *field = search->findChild<QLineEdit *>(QStringLiteral("txtIsbn"));
    std::vector<Timing> runs;
    for (const int rowId : {books * 3 / 4 + 7, 11, books / 2 + 3}) {
        field->setText(isbnOf(rowId));
        runs.push_back(untilIdle([search] {
            if (!search->find())
                std::printf("ISBN search found no book\n");
        }));
    }
    printTimes("ISBNで探す", runs);
}

// "Do I own it already?" as the register asks it before saving a new book: a book held (found by
// title through its author), one not held, and one found by ISBN; the series window's filter to
// the incomplete series.
void measureCollectorQuestions(int books) {
    Connection connection(CatalogueLinkConnection);
    connection.open();
    QSqlQuery held(QStringLiteral("SELECT b.[題名], b.[ｼﾘｰｽﾞ], b.SEQNO, c.[著者名] FROM BOOK b "
                                  "JOIN CHOSHA c ON c.[著者NO] = b.[著者NO] WHERE b.rowid = %1")
                       .arg(books / 2 + 1),
                   connection.database());
    held.next();
    BookIdentity book{held.value(0).toString(),
                      held.value(1).toString(),
                      held.value(2).toInt(),
                      held.value(3).toString(),
                      {},
                      {}};
    BookIdentity notHeld = book;
    notHeld.title += QStringLiteral("（新装版）");
    BookIdentity byIsbn{QStringLiteral("ISBNだけ"),        {}, 0, {},
                        Isbn::fromText(isbnOf(books / 3)), {}};
    for (const auto &[what, identity] :
         {std::pair{"同じ本（題名）", &book}, std::pair{"同じ本（なし）", &notHeld},
          std::pair{"同じ本（ISBN）", &byIsbn}}) {
        bool found = false;
        const double cpu = cpuMs();
        const double ms =
            medianMs(21, [&] { found = findOwnedCopy(connection, *identity).has_value(); });
        std::printf("%-16s %8.2f ms wall (median of 21), %.2f ms processor (mean); goal 10 ms; "
                    "found: %s\n",
                    what, ms, (cpuMs() - cpu) / 21, found ? "yes" : "no");
    }
    window(BookRegister::Name)->findChild<QAction *>(QStringLiteral("SHIRIIZUI"))->trigger();
    untilIdle([] {});
    auto *incomplete = window(SeriesWindow::Name)->findChild<QCheckBox *>();
    std::vector<Timing> runs;
    for (int i = 0; i < 3; ++i) {
        runs.push_back(untilIdle([incomplete] { incomplete->setChecked(true); }));
        untilIdle([incomplete] { incomplete->setChecked(false); });
    }
    printTimes("シリーズ・欠けのみ", runs);
}

// In a process of its own: the times of every screen.
int measureTimes(const QString &folder) {
    startAtMainMenu();
    std::vector<Timing> registers;
    for (int i = 0; i < 3; ++i) {
        registers.push_back(openRegister());
        if (i < 2)
            untilIdle([] { window(BookRegister::Name)->close(); });
    }
    printTimes("蔵書登録", registers);
    for (const Screen &screen : Screens) {
        std::vector<Timing> runs;
        for (int i = 0; i < 3; ++i) {
            runs.push_back(openScreen(screen));
            closeScreen(screen);
        }
        printTimes(screen.caption, runs);
    }
    measureIndex();
    measureIsbnSearch(booksIn(folder));
    measureCollectorQuestions(booksIn(folder));
    return 0;
}

// In a process of its own: the peak memory of the register alone, or with screen `item` open.
int measureMemory(const QString &item) {
    startAtMainMenu();
    openRegister();
    for (const Screen &screen : Screens) {
        if (item == QString::fromUtf8(screen.item))
            openScreen(screen);
    }
    std::printf("%.1f\n", double(peakMemoryKb()) / 1024.0);
    return 0;
}

QString runChild(const QString &program, const QStringList &arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(program, arguments);
    child.waitForFinished(-1);
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

} // namespace

int main(int argc, char **argv) {
    TimedApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() > 2 && arguments.at(1) == QStringLiteral("--child")) {
        QDir::setCurrent(arguments.at(2));
        if (arguments.size() > 3)
            return measureMemory(arguments.at(3));
        return measureTimes(arguments.at(2));
    }
    test::CatalogueShape shape;
    shape.books = arguments.size() > 1 ? arguments.at(1).toInt() : 100000;
    shape.authors = arguments.size() > 2 ? arguments.at(2).toInt() : 12500;
    QTemporaryDir dir;
    test::seedDataFolder(dir.path(), shape);
    giveEveryBookAnIsbn(dir.path(), shape.books);
    lendAThousandBooks(dir.path(), shape.books);
    std::printf("catalogue: %d books, %d authors; platform %s; load average %s\n", shape.books,
                shape.authors, qPrintable(QGuiApplication::platformName()),
                qPrintable(loadAverage()));

    const QString self = QCoreApplication::applicationFilePath();
    const QStringList child = {QStringLiteral("--child"), dir.path()};
    std::printf("peak memory, register alone, start to first book: %s MiB (goal 120)\n",
                qPrintable(runChild(self, child + QStringList{QStringLiteral("-")})));
    for (const Screen &screen : Screens)
        std::printf(
            "peak memory, register + %s: %s MiB (goal 250)\n", screen.caption,
            qPrintable(runChild(self, child + QStringList{QString::fromUtf8(screen.item)})));
    std::printf(
        "from the click until shown and idle (median of 3; goals 蔵書登録 200 ms, "
        "searches, 未読一覧 and 統計 300 ms, lists 500 ms, ISBNで探す 50 ms, シリーズ 300 ms, "
        "its filter 50 ms, 貸出一覧 100 ms):\n");
    std::fflush(stdout);
    std::printf("%s\n", qPrintable(runChild(self, child)));
    std::printf("load average after: %s\n", qPrintable(loadAverage()));
    return 0;
}
