#pragma once

#include "support/Controls.h"
#include "support/DataFolder.h"
#include "support/MessageRecorder.h"
#include "support/TestSql.h"

#include <QtTest>
#include <memory>

namespace hondana {
class BookRegister;
class MasterEditor;
} // namespace hondana

namespace hondana::test {

// A working folder with an empty catalogue, an admitted user, every window registered (stand-ins
// for the screens other parts of the program provide) and the message boxes recorded. Every
// window is gone when the fixture goes.
class RegisterFixture {
public:
    RegisterFixture();
    ~RegisterFixture();

    // SQL on TOSHO.MDB through a connection of its own.
    void exec(const QString &sql) const { m_sql->exec(sql); }
    QVariant value(const QString &sql) const { return m_sql->value(sql); }
    int count(const QString &table) const { return value("SELECT count(*) FROM " + table).toInt(); }
    void addBook(const QString &title, int author, int seqNo) const {
        exec(QString("INSERT INTO BOOK (題名, 著者NO, SEQNO) VALUES ('%1', %2, %3)")
                 .arg(title, QString::number(author), QString::number(seqNo)));
    }

    // Opens the register as the main menu does, or a master editor through its menu item.
    BookRegister *openRegister();
    MasterEditor *openEditor(const QString &menuItem, const QString &form);
    static QWidget *visibleWindow(const QString &name);
    // Lets windows that closed themselves go.
    static void settle();

    DataFolder folder;
    MessageRecorder messages;

private:
    std::unique_ptr<SqlFile> m_sql;
};

// Types into a text box as the user does, so the box learns the text was edited.
void type(QWidget *form, const QString &field, const QString &text);
// Chooses the menu command `name` of a window.
void choose(QWidget *form, const QString &name);

} // namespace hondana::test
