#include "core/SystemInformation.h"

#include <QProcess>
#include <QStandardPaths>

namespace hondana {

const QStringList &SystemInformation::candidates() {
    static const QStringList programs = {
        QStringLiteral("hardinfo"),
        QStringLiteral("gnome-system-monitor"),
        QStringLiteral("plasma-systemmonitor"),
        QStringLiteral("ksysguard"),
        QStringLiteral("mate-system-monitor"),
        QStringLiteral("xfce4-taskmanager"),
        QStringLiteral("lxtask"),
    };
    return programs;
}

SystemInformation::SystemInformation()
    : SystemInformation(
          [](const QString &program) { return QStandardPaths::findExecutable(program); },
          [](const QString &path) { return QProcess::startDetached(path, {}); }) {}

SystemInformation::SystemInformation(Finder finder, Starter starter)
    : m_finder(std::move(finder)), m_starter(std::move(starter)) {}

bool SystemInformation::start() const {
    for (const QString &program : candidates()) {
        const QString path = m_finder(program);
        if (!path.isEmpty())
            return m_starter(path);
    }
    return false;
}

} // namespace hondana
