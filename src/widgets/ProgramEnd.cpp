#include "widgets/ProgramEnd.h"

#include "base/FileNames.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

namespace hondana {

namespace {

struct EndState {
    std::function<void()> exit;
    bool ended = false;
};

EndState &endState() {
    static EndState state;
    return state;
}

// Tool tips, pop-up menus and the like belong to their windows and go with them.
bool isProgramWindow(const QWidget *widget) {
    const Qt::WindowType type = widget->windowType();
    return type == Qt::Window || type == Qt::Dialog;
}

void releaseDataFiles() {
    const QString folder = AppState::instance().workingDirectory.isEmpty()
                               ? QDir::currentPath()
                               : AppState::instance().workingDirectory;
    for (const QString &name :
         {files::Catalogue, files::WorkCopy, files::VersionDatabase, files::AgreementDatabase})
        closeAllConnectionsTo(files::resolve(name, folder));
}

} // namespace

void endProgram() {
    AppState::instance().admission = AppState::Admission::No;
    // Hiding sends no close event, so no window gets to ask or save anything. Deleting waits for
    // the event loop: endProgram usually runs inside a handler of one of these windows.
    QList<QWidget *> windows = WindowRegistry::instance().windows();
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (isProgramWindow(widget) && !windows.contains(widget))
            windows << widget;
    }
    for (QWidget *window : std::as_const(windows)) {
        window->hide();
        window->deleteLater();
    }
    releaseDataFiles();
    endState().ended = true;
    if (endState().exit)
        endState().exit();
    else
        QCoreApplication::exit(0);
}

void finishProgram() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

bool programEnded() {
    return endState().ended;
}

void setEventLoopExit(std::function<void()> exit) {
    endState().exit = std::move(exit);
    endState().ended = false;
}

} // namespace hondana
