// bench_register [books] [authors]: the book register and a master editor as the user opens them,
// on a synthetic catalogue (100,000 books and 12,500 authors by default, as large a collection
// names): opening the register until its first book is painted (on the X server of DISPLAY when
// there is one, which is where font and paint costs show), against what SQLite needs to read the
// register's SQL in the same run; first <-> last and saving one changed book through the navigator
// and the 更新 button; the author lookup's refresh on a click; opening the author editor; the
// memory the open register holds.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "app/Shell.h"
#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "masters/MasterEditor.h"
#include "register/BookRegister.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDriver>
#include <QTemporaryDir>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <sqlite3.h>

using namespace hondana;
using namespace hondana::bench;

namespace {

double cpuMsSince(std::clock_t start) {
    return double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC;
}

// SQLite alone: run the register's SQL and fetch every value of every row.
void readRegisterSql(Connection &connection) {
    const QVariant handle = connection.database().driver()->handle();
    sqlite3 *db = *static_cast<sqlite3 *const *>(handle.constData());
    sqlite3_stmt *statement = nullptr;
    const QByteArray sql = BookRegister::RecordSource.toUtf8();
    sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &statement, nullptr);
    const int columns = sqlite3_column_count(statement);
    qint64 sink = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        for (int i = 0; i < columns; ++i) {
            if (sqlite3_column_type(statement, i) == SQLITE_TEXT)
                sink += sqlite3_column_bytes(statement, i);
            else
                sink += sqlite3_column_int64(statement, i);
        }
    }
    sqlite3_finalize(statement);
    if (sink == 42)
        std::puts("");
}

BookRegister *openRegister() {
    WindowRegistry::instance().show(BookRegister::Name);
    auto *form =
        qobject_cast<BookRegister *>(WindowRegistry::instance().existing(BookRegister::Name));
    QApplication::processEvents();
    // Painted now, not whenever the window system asks: the user waits for the paint too.
    form->repaint();
    QApplication::sync();
    return form;
}

void closeWindow(QWidget *window) {
    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QApplication::processEvents();
}

template <typename T> T *child(QWidget *form, const char *name) {
    return form->findChild<T *>(QString::fromLatin1(name));
}

void prepareFolder(const QString &folder, int books, int authors) {
    test::CatalogueShape shape;
    shape.books = books;
    shape.authors = authors;
    test::seedDataFolder(folder, shape);
    QDir::setCurrent(folder);
    std::printf("catalogue: %d books, %d authors\n", shape.books, shape.authors);
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    prepareFolder(dir.path(), argc > 1 ? std::atoi(argv[1]) : 100000,
                  argc > 2 ? std::atoi(argv[2]) : 12500);
    AppState::instance().admission = AppState::Admission::Yes;
    registerAllWindows();

    Connection plain(QStringLiteral("FILE NAME=Karobu.udl"));
    plain.open();
    readRegisterSql(plain); // warms the page cache for both measurements alike

    // The first open, before the allocator has room left over from earlier ones.
    const qint64 before = residentKb();
    QWidget *measured = openRegister();
    const qint64 after = residentKb();
    closeWindow(measured);
    std::printf("memory of the open register: %7.1f MB  (limit 120 MB)\n",
                double(after - before) / 1024.0);

    // Both in one run, alternating, so a busy machine weighs on them alike. Processor time is
    // shown beside the wall-clock time: on a shared machine it is the steadier figure.
    std::vector<double> sqliteTimes, openTimes, sqliteCpu, openCpu;
    QString firstTitle;
    for (int i = 0; i < 5; ++i) {
        std::clock_t cpu = std::clock();
        sqliteTimes.push_back(medianMs(1, [&] { readRegisterSql(plain); }));
        sqliteCpu.push_back(cpuMsSince(cpu));
        BookRegister *form = nullptr;
        cpu = std::clock();
        openTimes.push_back(medianMs(1, [&] {
            form = openRegister();
            firstTitle = child<QLineEdit>(form, "txtFields(1)")->text();
        }));
        openCpu.push_back(cpuMsSince(cpu));
        closeWindow(form);
    }
    const double sqlite = median(sqliteTimes);
    const double open = median(openTimes);
    std::printf("open register to first book: %7.1f ms  (SQLite reads the SQL in %.1f ms, ratio "
                "%.2f; limits 300 ms and 3x)  first title: %s\n",
                open, sqlite, open / sqlite, qPrintable(firstTitle));
    std::printf("  processor time:            %7.1f ms  (SQLite %.1f ms, ratio %.2f)\n",
                median(openCpu), median(sqliteCpu), median(openCpu) / median(sqliteCpu));

    BookRegister *form = openRegister();

    DataSource *books = form->books();
    auto *first = child<QToolButton>(form->navigator(), "cmdMoveFirst");
    auto *last = child<QToolButton>(form->navigator(), "cmdMoveLast");
    const double firstLast = medianMs(21, [&] {
        last->click();
        first->click();
    });
    std::printf("first <-> last (navigator):  %7.3f ms per move  (limit 20 ms)\n", firstLast / 2);

    auto *title = child<QLineEdit>(form, "txtFields(1)");
    auto *save = child<QPushButton>(form, "cmdUpdate");
    int edits = 0;
    const double saveOne = medianMs(
        21, [&] { save->click(); },
        [&] {
            books->moveTo(1 + (edits * 7919) % books->recordSet().recordCount());
            title->selectAll();
            title->insert(QStringLiteral("改題%1").arg(++edits));
        });
    std::printf("save one changed book (更新): %6.3f ms  (limit 20 ms)\n", saveOne);

    auto *authors = child<QComboBox>(form, "DataCombo1");
    const double lookup = medianMs(11, [&] {
        // What the combo's click handler does before its list opens.
        QMetaObject::invokeMethod(authors, "clicked");
    });
    std::printf("author lookup refresh (%d): %6.1f ms  (limit 50 ms)\n", authors->count(), lookup);

    const double editor = medianMs(
        5,
        [&] {
            QWidget *window = WindowRegistry::instance().window(QStringLiteral("CHOSHA"));
            window->show();
            QApplication::processEvents();
        },
        [] {
            if (QWidget *open = WindowRegistry::instance().existing(QStringLiteral("CHOSHA")))
                closeWindow(open);
        });
    std::printf("open the author editor (5,000 rows): %6.1f ms  (limit 100 ms)\n", editor);
    return 0;
}
