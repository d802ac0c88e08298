#pragma once

#include <QtGlobal>

#include <functional>

namespace hondana {

// How far a long operation has got, so a window can show it and stay repainted meanwhile, or a
// terminal can show a percentage; and whether the user asked it to stop. Operations report often
// and cheaply; a `total` of 0 means the amount of work is not known in advance. An operation
// that can stop part-way (printing) stops when report() answers false; one that finishes or fails
// whole (a backup, a restore) goes on. An empty Progress (the default) ignores reports.
class Progress {
public:
    // Returns false to ask the operation to stop.
    using Callback = std::function<bool(qint64 done, qint64 total)>;

    Progress() = default;
    explicit Progress(Callback callback) : m_callback(std::move(callback)) {}

    // Whether the operation may go on.
    bool report(qint64 done, qint64 total) const { return !m_callback || m_callback(done, total); }

private:
    Callback m_callback;
};

} // namespace hondana
