#include "base/HandOverQueue.h"
#include "support/DataRows.h"

#include <QtTest>

#include <atomic>
#include <thread>

using namespace hondana;
using namespace hondana::test;

class TestHandOverQueue : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A maker thread hands over 1…items with the given limit and closes; the worker takes until
    // it has `cancelAfter` (then gives up) or the queue ends.
    void handsOverInOrder_data() {
        columns<int, int, int, QList<int>, bool>(
            {"limit", "items", "cancelAfter", "received", "makerStopped"});
        QList<int> all;
        for (int i = 1; i <= 50; ++i)
            all << i;
        row("everything in order, then the end", 0, 50, -1, all, false);
        row("a maker at its limit waits for the worker", 2, 50, -1, all, false);
        row("a worker that gives up frees the waiting maker", 2, 50, 3, QList<int>{1, 2, 3}, true);
        row("nothing to hand over", 0, 0, -1, QList<int>(), false);
    }

    void handsOverInOrder() {
        HandOverQueue<int> queue(std::size_t(cell<int>("limit")));
        const int items = cell<int>("items");
        const int cancelAfter = cell<int>("cancelAfter");
        std::atomic<bool> stopped = false;
        std::thread maker([&] {
            for (int i = 1; i <= items; ++i) {
                if (!queue.push(int(i))) {
                    stopped = true;
                    return;
                }
            }
            queue.close();
        });
        QList<int> received;
        int item = 0;
        while ((cancelAfter < 0 || received.size() < cancelAfter) && queue.pop(item))
            received << item;
        if (cancelAfter >= 0)
            queue.cancel();
        maker.join();
        QCOMPARE(received, cell<QList<int>>("received"));
        QCOMPARE(stopped.load(), cell<bool>("makerStopped"));
        QVERIFY(!queue.pop(item));
    }
};

QTEST_GUILESS_MAIN(TestHandOverQueue)
#include "tst_handoverqueue.moc"
