#pragma once

#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

namespace hondana {

// Escape on a window does what its close button does, so the window is left from the keyboard
// as a dialog is. Only a key no control of the window took reaches it: an open list or a cell
// being edited keeps its own Escape. Whatever the close button would ask first, Escape asks too.
class EscapeCloses : public QObject {
    Q_OBJECT
public:
    // Without a button, Escape closes the window as its title bar's close box does.
    static void install(QWidget *window, QAbstractButton *closeButton = nullptr);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    EscapeCloses(QWidget *window, QAbstractButton *closeButton);

    QWidget *m_window;
    QPointer<QAbstractButton> m_closeButton;
};

} // namespace hondana
