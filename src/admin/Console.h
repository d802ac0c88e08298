#pragma once

#include "base/Progress.h"

#include <QElapsedTimer>
#include <QString>
#include <cstdio>

// What the command-line tool says and asks on its terminal.
namespace hondana::admin {

enum ExitCode { Success = 0, Failed = 1, UsageError = 2, NotConfirmed = 3, ProblemsFound = 4 };

// Writes `text` and a line end as UTF-8.
void print(std::FILE *stream, const QString &text);

// Asks `question` on standard error and reads the answer from standard input: only "y" or "yes"
// goes on. Without a terminal on standard input nobody can answer, and the caller is told to
// use --yes instead (false, with that message printed).
bool confirm(const QString &question, const QString &what);

// Shows "<label> 42%" on standard error while long work goes on, when standard error is a
// terminal; otherwise stays silent, so scripts and logs get only the result.
class TerminalProgress {
public:
    explicit TerminalProgress(const QString &label);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress &) = delete;
    TerminalProgress &operator=(const TerminalProgress &) = delete;

    const Progress &progress() const { return m_progress; }

private:
    void show(qint64 done, qint64 total);

    QString m_label;
    bool m_terminal;
    bool m_shown = false;
    QElapsedTimer m_sinceLast;
    Progress m_progress;
};

} // namespace hondana::admin
