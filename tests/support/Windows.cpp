#include "support/Windows.h"

#include "widgets/ProgramEnd.h"

#include <QApplication>
#include <QWidget>

namespace hondana::test {

void closeEveryWindow() {
    // Deferred: a window deleted at once would take its children, still in this list, with it.
    for (QWidget *window : QApplication::topLevelWidgets()) {
        window->hide();
        window->deleteLater();
    }
    finishProgram();
    QCoreApplication::processEvents();
}

} // namespace hondana::test
