#include "app/ApplicationIcon.h"
#include "app/ApplicationSetup.h"
#include "app/Shell.h"
#include "widgets/ProgramEnd.h"

#include <QApplication>

int main(int argc, char **argv) {
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
