#include "app/ApplicationIcon.h"
#include "app/ApplicationSetup.h"
#include "app/Shell.h"
#include "widgets/ProgramEnd.h"

#include <QApplication>

#include <csignal>

int main(int argc, char **argv) {
    // A PDF saved into a FIFO whose reader has gone is a failed save to report, not the end of
    // the program.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication application(argc, argv);
    hondana::setUpApplication(application);
    QApplication::setWindowIcon(hondana::applicationIcon());
    hondana::registerAllWindows();
    if (!hondana::startProgram())
        return 1;
    const int status = QApplication::exec();
    hondana::finishProgram();
    return status;
}
