#pragma once

#include "lookup/LookedUpBook.h"

#include <QByteArray>
#include <QObject>
#include <QUrl>

#include <chrono>
#include <memory>

class QNetworkAccessManager;
class QNetworkReply;

namespace hondana {

class LookupCache;

struct LookupResult {
    enum class Outcome { Found, NotFound, Failed };
    Isbn isbn;
    Outcome outcome = Outcome::Failed;
    LookedUpBook book; // when found
    QString message;   // why it failed, or what to know beside a found book
    bool fromCache = false;
};

// Looks books up by ISBN in the search service, one request per ISBN, as many at a time as the
// caller starts. Never waits: every result, the cache's too, arrives through `finished` from the
// event loop. Answers (found or not) are kept in the cache; failures are not, so the next try
// asks the service again.
class IsbnLookup : public QObject {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds DefaultTimeout{10000};

    // `cache` may be nullptr (it could not be opened): every look-up then asks the service.
    IsbnLookup(const QUrl &service, LookupCache *cache, QObject *parent = nullptr);
    // With the cache of the data folder `folder` (empty: the current directory), which it opens
    // and keeps. When the cache cannot be opened, look-ups still work, asking the service every
    // time, and cacheProblem() says why.
    IsbnLookup(const QUrl &service, const QString &folder, QObject *parent = nullptr);
    ~IsbnLookup() override;

    void setTimeout(std::chrono::milliseconds timeout) { m_timeout = timeout; }
    void setSizeLimit(qint64 bytes) { m_sizeLimit = bytes; }

    void lookUp(const Isbn &isbn);
    QString cacheProblem() const { return m_cacheProblem; }

    // Look-ups started and not yet finished.
    int pending() const { return m_pending; }

Q_SIGNALS:
    void finished(const hondana::LookupResult &result);

private:
    void received(QNetworkReply *reply, const Isbn &isbn);
    LookupResult read(const Isbn &isbn, const QByteArray &answer, bool fromCache);
    void finish(const LookupResult &result);

    QUrl m_service;
    std::unique_ptr<LookupCache> m_ownCache;
    QString m_cacheProblem;
    LookupCache *m_cache;
    QNetworkAccessManager *m_network;
    std::chrono::milliseconds m_timeout = DefaultTimeout;
    qint64 m_sizeLimit;
    int m_pending = 0;
};

} // namespace hondana

Q_DECLARE_METATYPE(hondana::LookupResult)

namespace hondana {

// One line of text for a result, as the command line prints it: the ISBN, then the title and
// the rest tab-separated, or the ISBN and the failure.
QString resultLine(const LookupResult &result);

} // namespace hondana
