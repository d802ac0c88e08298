#include "widgets/EscapeCloses.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

namespace hondana {

EscapeCloses::EscapeCloses(QWidget *window, QAbstractButton *closeButton)
    : QObject(window), m_window(window), m_closeButton(closeButton) {
    window->installEventFilter(this);
}

void EscapeCloses::install(QWidget *window, QAbstractButton *closeButton) {
    new EscapeCloses(window, closeButton);
}

bool EscapeCloses::eventFilter(QObject *watched, QEvent *event) {
    if (watched != m_window || event->type() != QEvent::KeyPress)
        return false;
    const auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() != Qt::Key_Escape || key->modifiers() != Qt::NoModifier)
        return false;
    if (!m_closeButton)
        m_window->close();
    else if (m_closeButton->isEnabled())
        m_closeButton->click();
    return true;
}

} // namespace hondana
