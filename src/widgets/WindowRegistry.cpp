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

void WindowRegistry::registerAction(const QString &name, Action action) {
    m_actions.insert(name, std::move(action));
}

bool WindowRegistry::run(const QString &name) {
    const auto action = m_actions.constFind(name);
    if (action == m_actions.constEnd())
        return false;
    // A copy: the action may register anew while it runs.
    const Action running = *action;
    running();
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
