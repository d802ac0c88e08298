#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>

namespace hondana {

// Hands items, in order, from one thread that makes them to another that works them. With a
// limit the maker waits while that many are waiting to be worked, so memory stays bounded however
// far ahead it runs; without one it never waits.
template <typename T> class HandOverQueue {
public:
    explicit HandOverQueue(std::size_t limit = 0) : m_limit(limit) {}

    // False when the worker has given up (cancel), and the item is dropped.
    bool push(T &&item) {
        std::unique_lock lock(m_mutex);
        m_space.wait(lock,
                     [this] { return m_cancelled || m_limit == 0 || m_items.size() < m_limit; });
        if (m_cancelled)
            return false;
        m_items.push_back(std::move(item));
        lock.unlock();
        m_ready.notify_one();
        return true;
    }

    // No more items will come.
    void close() {
        {
            const std::lock_guard lock(m_mutex);
            m_closed = true;
        }
        m_ready.notify_all();
    }

    // Nothing waiting is worked any more, and whoever waits stops waiting.
    void cancel() {
        {
            const std::lock_guard lock(m_mutex);
            m_cancelled = true;
        }
        m_ready.notify_all();
        m_space.notify_all();
    }

    // The next item; false after the last one, or once cancelled.
    bool pop(T &item) {
        std::unique_lock lock(m_mutex);
        m_ready.wait(lock, [this] { return m_cancelled || m_closed || !m_items.empty(); });
        if (m_cancelled || m_items.empty())
            return false;
        item = std::move(m_items.front());
        m_items.pop_front();
        lock.unlock();
        m_space.notify_one();
        return true;
    }

    // Whether pop would wait now for an item still to come.
    bool wouldWait() {
        const std::lock_guard lock(m_mutex);
        return m_items.empty() && !m_closed && !m_cancelled;
    }

    bool cancelled() {
        const std::lock_guard lock(m_mutex);
        return m_cancelled;
    }

private:
    const std::size_t m_limit;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::condition_variable m_space;
    std::deque<T> m_items;
    bool m_closed = false;
    bool m_cancelled = false;
};

} // namespace hondana
