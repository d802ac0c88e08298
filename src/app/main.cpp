#include "app/ApplicationIcon.h"
#include "app/ApplicationSetup.h"
#include "app/ProgramEnd.h"
#include "app/Shell.h"
#include "register/MEISAI.h"

#include <QApplication>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    hondana::setUpApplication(application);
    QApplication::setWindowIcon(hondana::applicationIcon());
    // Each subsystem registers its windows, so the main menu and the register find them.
    hondana::registerShellWindows();
    hondana::registerBookRegister();
    if (!hondana::startProgram())
        return 1;
    const int status = QApplication::exec();
    hondana::finishProgram();
    return status;
}
