#pragma once

// Finding a window's controls by object name and pressing its buttons, as a user would.

#include <QAbstractButton>
#include <QtTest>

namespace hondana::test {

// The object `name` of a window; the test stops when there is none.
template <typename T = QWidget> T *control(QObject *form, const QString &name) {
    T *found = form ? form->findChild<T *>(name) : nullptr;
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

inline void click(QWidget *form, const QString &button) {
    QTest::mouseClick(control<QAbstractButton>(form, button), Qt::LeftButton);
}

} // namespace hondana::test
