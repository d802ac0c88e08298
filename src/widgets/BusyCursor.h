#pragma once

#include <QGuiApplication>

namespace hondana {

// Shows the busy cursor while it lives, for operations that block the window.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { release(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

    // Back to the normal cursor before the object goes, e.g. before a message box.
    void release() {
        if (m_active)
            QGuiApplication::restoreOverrideCursor();
        m_active = false;
    }

private:
    bool m_active = true;
};

// Back to the default mouse pointer, whatever busy cursors are still set (a form unloading).
inline void resetMousePointer() {
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

} // namespace hondana
