#pragma once

// Measuring helpers shared by the benchmarks.

#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <algorithm>
#include <functional>
#include <vector>

namespace hondana::bench {

// A "Vm…:" figure of /proc/self/status in kB, or -1 when it cannot be read.
inline qint64 procStatusKb(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

inline qint64 residentKb() {
    return procStatusKb("VmRSS");
}
inline qint64 peakMemoryKb() {
    return procStatusKb("VmHWM");
}

// The machine's load average over 1, 5 and 15 minutes, for the figures' context.
inline QString loadAverage() {
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(u' ', 0, 2)
                                          : QStringLiteral("?");
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Median of `runs` timings in milliseconds; `prepare` runs untimed before each.
inline double medianMs(int runs, const std::function<void()> &work,
                       const std::function<void()> &prepare = {}) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        if (prepare)
            prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

} // namespace hondana::bench
