#pragma once

#include <QByteArray>
#include <QHash>
#include <QMutex>
#include <QString>
#include <QThread>

#include <atomic>

namespace hondana::test {

// A web server on the loopback address, started and stopped by the test, that answers a
// search for an ISBN with the answer recorded for it. It runs in a thread of its own, so it
// also serves a child process the test waits for.
class LocalSruServer : public QThread {
public:
    struct Reply {
        QByteArray body;
        int status = 200;
        int delayMs = 0; // before the answer is sent
    };

    LocalSruServer(); // listening when constructed
    ~LocalSruServer() override;

    // The search service's address, for HONDANA_LOOKUP_URL or IsbnLookup.
    QString address() const;
    // An ISBN (13 digits) without an answer gets 404.
    void answer(const QString &isbn, const Reply &reply);
    int requests() const { return m_requests; }
    // Stops listening: from now on a connection is refused.
    void shutDown();

    // A recorded answer from tests/support/data, by file name.
    static QByteArray recorded(const QString &name);

protected:
    void run() override;

private:
    Reply replyFor(const QByteArray &request);

    mutable QMutex m_mutex;
    QHash<QString, Reply> m_replies;
    std::atomic<int> m_requests = 0;
    std::atomic<quint16> m_port = 0;
};

} // namespace hondana::test
