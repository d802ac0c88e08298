#pragma once

#include <QtGlobal>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace hondana {

// Works through the items 0 … count-1 in chunks, on the calling thread and up to threads-1
// helper threads (threads <= 0: one per core). Each thread takes the next chunk until none is
// left. `workerFor()` runs once on each thread and returns what works a chunk there,
// `worker(begin, end)`, so a thread can keep state of its own; workers run at once, each on its
// own items, and must not throw. After each chunk of the calling thread, `report(done)` says
// whether to go on (done: items worked so far, on every thread). Returns the items worked in all:
// count, unless report said stop.
template <typename WorkerFactory, typename Report>
qsizetype runInChunks(qsizetype count, qsizetype chunk, int threads, WorkerFactory workerFor,
                      Report report) {
    std::atomic<qsizetype> next = 0;
    std::atomic<qsizetype> done = 0;
    std::atomic<bool> stopped = false;
    const auto work = [&](bool reports) {
        auto worker = workerFor();
        for (qsizetype begin = next.fetch_add(chunk); begin < count && !stopped;
             begin = next.fetch_add(chunk)) {
            const qsizetype end = std::min(begin + chunk, count);
            worker(begin, end);
            done += end - begin;
            if (reports && !report(done.load()))
                stopped = true;
        }
    };
    if (threads <= 0)
        threads = int(std::max(1u, std::thread::hardware_concurrency()));
    std::vector<std::jthread> helpers;
    for (int i = 1; i < threads && i * chunk < count; ++i)
        helpers.emplace_back(work, false);
    work(true);
    helpers.clear();
    return done;
}

} // namespace hondana
