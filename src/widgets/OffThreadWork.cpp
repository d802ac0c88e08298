#include "widgets/OffThreadWork.h"

#include "base/Failure.h"
#include "widgets/LongOperation.h"

#include <QThread>

#include <atomic>
#include <exception>

namespace hondana {

void runOffThread(LongOperation &operation, const std::function<void(const Progress &)> &work) {
    std::atomic<qint64> done = 0;
    std::atomic<qint64> total = 0;
    std::atomic<bool> stop = false;
    std::exception_ptr failure;
    std::unique_ptr<QThread> worker(QThread::create([&] {
        const Progress progress([&](qint64 d, qint64 t) {
            done = d;
            total = t;
            return !stop.load();
        });
        try {
            work(progress);
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    worker->start(QThread::LowPriority);
    constexpr int ReportMilliseconds = 50;
    while (!worker->wait(QDeadlineTimer(ReportMilliseconds))) {
        if (!operation.progress().report(done, total))
            stop = true;
    }
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace hondana
