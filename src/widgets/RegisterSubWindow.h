#pragma once

#include <QWidget>

namespace hondana {

// A screen the register opens under the sub-window flag (a master editor, a search, a grouped
// list). However it closes, its button or the title bar, it gives the register back: the flag
// is cleared so the register can open the next screen, the register shows again where it hid
// for this screen, and the mouse pointer is the default arrow again. The screen deletes itself
// on close; the next choice makes a fresh one.
class RegisterSubWindow : public QWidget {
    Q_OBJECT
public:
    explicit RegisterSubWindow(QWidget *parent = nullptr);

protected:
    // Whether the screen may go now; the place to write what it still holds. Refusing keeps it
    // open with the flag still set.
    virtual bool prepareToClose() { return true; }
    void closeEvent(QCloseEvent *event) override;
};

} // namespace hondana
