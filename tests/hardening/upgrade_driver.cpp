// Runs start-up in the current directory, holding the folder as the program does, and, when it
// asks for the agreement, accepts it the way the agreement screen does: the first acceptance, or
// the version upgrade of an earlier release's catalogue. The crash tests kill it at the steps of
// both.
#include "base/Failure.h"
#include "core/AgreementAcceptance.h"
#include "core/DataFolderLock.h"
#include "core/Startup.h"

#include <QCoreApplication>
#include <QDir>
#include <cstdio>

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    try {
        hondana::holdDataFolder(QDir::currentPath());
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
