#pragma once

#include <QString>
#include <QStringList>

#include <functional>

namespace hondana {

// Starts a program that shows the computer's system information, the first of a short list
// that is installed. There is no registry to ask, so the PATH decides.
class SystemInformation {
public:
    // Returns the full path of an installed program, empty when there is none.
    using Finder = std::function<QString(const QString &program)>;
    // Starts the program at the path, not waiting for it; false when it cannot be started.
    using Starter = std::function<bool(const QString &path)>;

    // The programs looked for, in order.
    static const QStringList &candidates();

    SystemInformation();
    SystemInformation(Finder finder, Starter starter);

    // Whether a program was found and started.
    bool start() const;

private:
    Finder m_finder;
    Starter m_starter;
};

} // namespace hondana
