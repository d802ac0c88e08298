#pragma once

#include <QtGlobal>

#include <functional>

namespace hondana {

// How far a long operation has got, so a window can show it and stay repainted meanwhile, or a
// terminal can show a percentage. Operations report often and cheaply; a `total` of 0 means the
// amount of work is not known in advance. An empty Progress (the default) ignores reports.
class Progress {
public:
    using Callback = std::function<void(qint64 done, qint64 total)>;

    Progress() = default;
    explicit Progress(Callback callback) : m_callback(std::move(callback)) {}

    void report(qint64 done, qint64 total) const {
        if (m_callback)
            m_callback(done, total);
    }

private:
    Callback m_callback;
};

} // namespace hondana
