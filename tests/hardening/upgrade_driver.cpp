// Runs start-up in the current directory, holding the folder as the program does, and, when it
// asks for the agreement, accepts it the way the agreement screen does: the first acceptance, or
// the version upgrade of an earlier release's catalogue. The crash tests kill it at the steps of
// both. With "enter-masters" it enters an author and a publisher in their lists as the register's
// fill from a look-up does, which no command of hondana-admin does; with "wish-add", "wish-edit"
// and "wish-remove" it writes the wish list as its window does. With "lend" and "return" it
// lends the first book or takes it back as the details panel does; run again after a crash, each
// does only what is left to do, as the user would.
#include "base/Failure.h"
#include "catalogue/BookIntake.h"
#include "catalogue/BookLoans.h"
#include "catalogue/WishList.h"
#include "core/AgreementAcceptance.h"
#include "core/DataFolderLock.h"
#include "core/Startup.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    try {
        hondana::holdDataFolder(QDir::currentPath());
        if (app.arguments().value(1) == QLatin1String("enter-masters")) {
            hondana::Connection connection(hondana::CatalogueLinkConnection);
            connection.open();
            hondana::IncomingBook book;
            book.author = QStringLiteral("新しい著者");
            book.authorReading = QStringLiteral("アタラシイ チョシャ");
            book.publisher = QStringLiteral("新しい発行所");
            hondana::BookIntake(connection).enterMasters(book);
            return 0;
        }
        if (app.arguments().value(1).startsWith(QLatin1String("wish-"))) {
            hondana::Connection connection(hondana::CatalogueLinkConnection);
            connection.open();
            hondana::WishList wishes(connection);
            const QString operation = app.arguments().value(1);
            if (operation == QLatin1String("wish-add")) {
                hondana::Wish wish;
                wish.title = QStringLiteral("新しく欲しい本");
                wishes.add(wish);
            } else if (operation == QLatin1String("wish-edit")) {
                hondana::Wish wish = wishes.all().value(0);
                wish.note = QStringLiteral("書き換えたメモ");
                wishes.edit(wish);
            } else {
                QList<qint64> ids;
                for (const hondana::Wish &wish : wishes.all())
                    ids << wish.id;
                wishes.remove(ids);
            }
            return 0;
        }
        const QString mode = app.arguments().value(1);
        if (mode == QLatin1String("lend") || mode == QLatin1String("return")) {
            hondana::Connection connection(hondana::CatalogueLinkConnection);
            connection.open();
            hondana::BookLoans loans(connection);
            const std::optional<hondana::Loan> open = loans.openLoanOf(1);
            if (mode == QLatin1String("lend") && !open)
                loans.lend(1, QStringLiteral("山田"), QDate(2026, 11, 1));
            if (mode == QLatin1String("return") && open)
                loans.giveBack(open->id, QDate(2026, 11, 20));
            return 0;
        }
        if (hondana::decideFirstWindow() == hondana::FirstWindow::MainMenu) {
            std::puts("main menu");
            return 0;
        }
        const hondana::Acceptance acceptance = hondana::acceptAgreement();
        std::puts(acceptance == hondana::Acceptance::Recorded   ? "recorded"
                  : acceptance == hondana::Acceptance::Upgraded ? "upgraded"
                                                                : "unchanged");
        return 0;
    } catch (const hondana::Failure &failure) {
        std::fprintf(stderr, "%s\n", failure.message().toUtf8().constData());
        return 1;
    }
}
