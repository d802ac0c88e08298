#include "widgets/RegisterSubWindow.h"

#include "core/AppState.h"
#include "widgets/BusyCursor.h"
#include "widgets/EscapeCloses.h"
#include "widgets/WindowNames.h"
#include "widgets/WindowRegistry.h"

#include <QCloseEvent>

namespace hondana {

RegisterSubWindow::RegisterSubWindow(QWidget *parent) : QWidget(parent, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    // Its close button only closes the window, which is what Escape does here.
    EscapeCloses::install(this);
}

bool RegisterSubWindow::isAnyOpen() {
    return AppState::instance().subWindowFlag == 1;
}

void RegisterSubWindow::openFromRegister(QWidget *screen) {
    AppState::instance().subWindowFlag = 1;
    screen->show();
    screen->raise();
    screen->activateWindow();
}

void RegisterSubWindow::releaseRegister() {
    AppState::instance().subWindowFlag = 0;
}

void RegisterSubWindow::closeEvent(QCloseEvent *event) {
    if (!prepareToClose()) {
        event->ignore();
        return;
    }
    releaseRegister();
    if (QWidget *bookRegister = WindowRegistry::instance().existing(windows::Register);
        bookRegister && bookRegister->isHidden())
        bookRegister->show();
    resetMousePointer();
    QWidget::closeEvent(event);
}

} // namespace hondana
