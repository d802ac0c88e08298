#pragma once

#include "support/DataFolder.h"
#include "support/MessageRecorder.h"

#include <QPushButton>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QWidget>
#include <QtTest>

namespace hondana {
class MEISAI;
class MasterEditor;
} // namespace hondana

namespace hondana::test {

// A working folder with an empty catalogue, an admitted user, the register's windows
// registered and the message boxes recorded. Stand-ins are registered for the screens the
// register opens that other parts of the program provide, so the rules of opening can be seen
// whether those screens exist yet or not. Every window is gone when the fixture goes.
class RegisterFixture {
public:
    // The screens that stand-ins are registered for.
    static const QStringList StandInScreens;

    RegisterFixture();
    ~RegisterFixture();
    RegisterFixture(const RegisterFixture &) = delete;
    RegisterFixture &operator=(const RegisterFixture &) = delete;

    // Runs SQL against TOSHO.MDB through a connection of its own.
    void exec(const QString &sql, const QVariantList &values = {});
    QVariant scalar(const QString &sql, const QVariantList &values = {});
    int count(const QString &table);
    // A book with the given title, author, SEQNO; other columns null unless set afterwards.
    void addBook(const QString &title, qint64 author, qint64 seqNo);
    void addAuthor(qint64 number, const QString &name);

    // Opens the register as the main menu does and waits until it is shown.
    MEISAI *openRegister();
    // The visible window named `name`, or nullptr.
    static QWidget *visibleWindow(const QString &name);
    // Lets windows that closed themselves go.
    static void settle();

    DataFolder folder;
    MessageRecorder messages;

private:
    QSqlQuery run(const QString &sql, const QVariantList &values);

    QString m_connection;
};

// The control `name` of a window; the test stops when there is none.
template <typename T = QWidget> T *control(QWidget *form, const QString &name) {
    T *found = form->findChild<T *>(name);
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

inline void click(QWidget *form, const QString &button) {
    QTest::mouseClick(control<QPushButton>(form, button), Qt::LeftButton);
}

} // namespace hondana::test
