#pragma once

#include <QHash>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

namespace hondana {

// The single process-wide windows (MainMenu, BookRegister, UtilitiesWindow, AgreementWindow,
// AboutBox, DetailReport), each created by its subsystem's factory on first use. A window that
// unloads (deletes itself on close) is created anew the next time it is asked for.
class WindowRegistry {
public:
    using Factory = std::function<QWidget *()>;

    static WindowRegistry &instance();

    // Registers how the window `name` is made; a later registration replaces an earlier one.
    void registerFactory(const QString &name, Factory factory);

    // The window, created on first use; nullptr when no subsystem provides it.
    QWidget *window(const QString &name);
    // The window when it exists, without creating it.
    QWidget *existing(const QString &name) const;
    // Shows the window (not modal) and brings it to the front; false when it cannot be made.
    bool show(const QString &name);

    // Every window that exists now.
    QList<QWidget *> windows() const;

    // A menu item of one screen that does another subsystem's work without a window of its own
    // (asking and saying what it did through MessageService) is reached by name too.
    using Action = std::function<void()>;
    void registerAction(const QString &name, Action action);
    // Runs the action; false when no subsystem provides it.
    bool run(const QString &name);

private:
    QHash<QString, Factory> m_factories;
    QHash<QString, Action> m_actions;
    QHash<QString, QPointer<QWidget>> m_windows;
};

} // namespace hondana
