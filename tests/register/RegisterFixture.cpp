#include "register/RegisterFixture.h"

#include "app/ApplicationSetup.h"
#include "app/Shell.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "register/MEISAI.h"
#include "widgets/ProgramEnd.h"
#include "widgets/WindowRegistry.h"

#include <QApplication>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace hondana::test {

const QStringList RegisterFixture::StandInScreens = {"DAIMEIQ", "CHOSHAQ", "KANRIQ", "CHOSHA2",
                                                     "HAKKO2",  "BUNYA2",  "MIDOKU", "MEIPR"};

RegisterFixture::RegisterFixture() {
    folder.copyShipped(QStringLiteral("TOSHOINI.MDB"), QStringLiteral("TOSHO.MDB"));
    AppState::instance().reset();
    AppState::instance().admission = AppState::Admission::Yes;
    AppState::instance().workingDirectory = folder.path();
    installFontSubstitutions();
    setEventLoopExit([] {});
    registerAllWindows();
    for (const QString &screen : StandInScreens) {
        WindowRegistry::instance().registerFactory(screen, [screen] {
            auto *standIn = new QWidget(nullptr, Qt::Window);
            standIn->setObjectName(screen);
            standIn->setAttribute(Qt::WA_DeleteOnClose);
            return standIn;
        });
    }
    m_connection =
        openDatabaseFile(folder.filePath(QStringLiteral("TOSHO.MDB")), QStringLiteral("fixture"));
}

RegisterFixture::~RegisterFixture() {
    QList<QPointer<QWidget>> windows;
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (!window->parentWidget())
            windows << window;
    }
    for (const QPointer<QWidget> &window : std::as_const(windows))
        delete window.data();
    settle();
    closeDatabase(m_connection);
    setEventLoopExit({});
    AppState::instance().reset();
}

QSqlQuery RegisterFixture::run(const QString &sql, const QVariantList &values) {
    QSqlQuery q(QSqlDatabase::database(m_connection));
    q.prepare(sql);
    for (const QVariant &value : values)
        q.addBindValue(value);
    if (!q.exec())
        qFatal("%s: %s", qPrintable(sql), qPrintable(q.lastError().text()));
    return q;
}

void RegisterFixture::exec(const QString &sql, const QVariantList &values) {
    run(sql, values);
}

QVariant RegisterFixture::scalar(const QString &sql, const QVariantList &values) {
    QSqlQuery q = run(sql, values);
    return q.next() ? q.value(0) : QVariant();
}

int RegisterFixture::count(const QString &table) {
    return scalar(QStringLiteral("SELECT count(*) FROM %1").arg(table)).toInt();
}

void RegisterFixture::addBook(const QString &title, qint64 author, qint64 seqNo) {
    exec(QStringLiteral("INSERT INTO BOOK (題名, 著者NO, SEQNO) VALUES (?, ?, ?)"),
         {title, author, seqNo});
}

void RegisterFixture::addAuthor(qint64 number, const QString &name) {
    exec(QStringLiteral("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (?, ?)"), {number, name});
}

MEISAI *RegisterFixture::openRegister() {
    if (!WindowRegistry::instance().show(MEISAI::Name))
        return nullptr;
    auto *books = qobject_cast<MEISAI *>(WindowRegistry::instance().existing(MEISAI::Name));
    if (books && !QTest::qWaitForWindowExposed(books))
        return nullptr;
    return books;
}

QWidget *RegisterFixture::visibleWindow(const QString &name) {
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (window->objectName() == name && window->isVisible())
            return window;
    }
    return nullptr;
}

void RegisterFixture::settle() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace hondana::test
