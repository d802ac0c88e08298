#pragma once

#include <QWidget>

namespace hondana {

// A screen the register opens, one at a time (a master editor, a search, a grouped list). While
// one is open, the register opens no other screen and does not close: this class alone sets and
// clears that mark (AppState::subWindowFlag). However the screen closes, its button or the title
// bar, it gives the register back: the mark is cleared, the register shows again where it hid
// for this screen, and the mouse pointer is the default arrow again. The screen deletes itself
// on close; the next choice makes a fresh one.
class RegisterSubWindow : public QWidget {
    Q_OBJECT
public:
    explicit RegisterSubWindow(QWidget *parent = nullptr);

    // Whether a screen the register opened is open.
    static bool isAnyOpen();
    // Shows `screen` in front as the register's one open screen.
    static void openFromRegister(QWidget *screen);

protected:
    // Whether the screen may go now; the place to write what it still holds. Refusing keeps it
    // open, still marked.
    virtual bool prepareToClose() { return true; }
    void closeEvent(QCloseEvent *event) override;
    // Lets the register open another screen while this one stays open.
    static void releaseRegister();
};

} // namespace hondana
