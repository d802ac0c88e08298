#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace hondana::admin {

// What the command line said, once the command's name is taken off.
struct Invocation {
    QString folder;        // the data folder; empty for the current directory
    bool yes = false;      // --yes: do not ask
    QStringList arguments; // what follows the command that is no option
    QString encoding;      // --encoding
    QString output;        // --output
    bool dryRun = false;   // --dry-run
    QString format;        // --format
    QString duplicates;    // --duplicates
    bool overdue = false;  // --overdue
};

struct Command {
    QString name;
    QString summary;                            // one line, for the overall usage
    QString usage;                              // the command's own --help
    int arguments = 0;                          // how many arguments it takes
    std::function<int(const Invocation &)> run; // returns the exit code; throws Failure
    bool moreArguments = false;                 // `arguments` is the least it takes
};

// Every command, in the order the usage lists them.
QList<Command> maintenanceCommands();
QList<Command> reportCommands();
QList<Command> importCommands();
QList<Command> lookupCommands();

} // namespace hondana::admin
