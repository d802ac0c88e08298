#include "register/RegisterFixture.h"

#include "app/ApplicationSetup.h"
#include "app/Shell.h"
#include "core/AppState.h"
#include "masters/MasterEditor.h"
#include "register/BookRegister.h"
#include "support/Windows.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>

namespace hondana::test {

RegisterFixture::RegisterFixture() {
    folder.copyShipped("TOSHOINI.MDB", "TOSHO.MDB");
    AppState::instance().reset();
    AppState::instance().admission = AppState::Admission::Yes;
    AppState::instance().workingDirectory = folder.path();
    installFontSubstitutions();
    setEventLoopExit([] {});
    registerAllWindows();
    for (const QString name :
         {"DAIMEIQ", "CHOSHAQ", "KANRIQ", "CHOSHA2", "HAKKO2", "BUNYA2", "MIDOKU"}) {
        WindowRegistry::instance().registerFactory(name, [name] {
            auto *standIn = new QWidget(nullptr, Qt::Window);
            standIn->setObjectName(name);
            standIn->setAttribute(Qt::WA_DeleteOnClose);
            return standIn;
        });
    }
    m_sql = std::make_unique<SqlFile>(folder.filePath("TOSHO.MDB"));
}

RegisterFixture::~RegisterFixture() {
    closeEveryWindow();
    m_sql.reset();
    setEventLoopExit({});
    AppState::instance().reset();
}

BookRegister *RegisterFixture::openRegister() {
    WindowRegistry::instance().show(BookRegister::Name);
    auto *books = qobject_cast<BookRegister *>(visibleWindow(BookRegister::Name));
    return books && QTest::qWaitForWindowExposed(books) ? books : nullptr;
}

MasterEditor *RegisterFixture::openEditor(const QString &menuItem, const QString &form) {
    if (BookRegister *books = openRegister())
        choose(books, menuItem);
    auto *editor = qobject_cast<MasterEditor *>(visibleWindow(form));
    return editor && QTest::qWaitForWindowExposed(editor) ? editor : nullptr;
}

QWidget *RegisterFixture::visibleWindow(const QString &name) {
    QWidget *window = WindowRegistry::instance().existing(name);
    return window && window->isVisible() ? window : nullptr;
}

void RegisterFixture::settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

void type(QWidget *form, const QString &field, const QString &text) {
    auto *box = control<QLineEdit>(form, field);
    box->selectAll();
    box->del();
    box->insert(text);
}

void choose(QWidget *form, const QString &name) {
    for (QAction *action : form->findChildren<QAction *>(name)) {
        if (!action->menu()) // a drop-down's title carries its menu's name too
            return action->trigger();
    }
    qFatal("no menu item %s", qPrintable(name));
}

} // namespace hondana::test
