#include "widgets/WindowRegistry.h"

namespace hondana {

WindowRegistry &WindowRegistry::instance() {
    static WindowRegistry registry;
    return registry;
}

void WindowRegistry::registerFactory(const QString &name, Factory factory) {
    m_factories.insert(name, std::move(factory));
}

QWidget *WindowRegistry::window(const QString &name) {
    if (QWidget *made = existing(name))
        return made;
    const auto factory = m_factories.constFind(name);
    if (factory == m_factories.constEnd())
        return nullptr;
    QWidget *made = (*factory)();
    if (made && made->objectName().isEmpty())
        made->setObjectName(name);
    m_windows.insert(name, made);
    return made;
}

QWidget *WindowRegistry::existing(const QString &name) const {
    return m_windows.value(name).data();
}

bool WindowRegistry::show(const QString &name) {
    QWidget *shown = window(name);
    if (!shown)
        return false;
    shown->show();
    shown->raise();
    shown->activateWindow();
    return true;
}

QList<QWidget *> WindowRegistry::windows() const {
    QList<QWidget *> all;
    for (const QPointer<QWidget> &made : m_windows) {
        if (made)
            all << made.data();
    }
    return all;
}

} // namespace hondana
