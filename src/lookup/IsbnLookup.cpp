#include "lookup/IsbnLookup.h"

#include "base/Failure.h"
#include "lookup/LookupCache.h"
#include "lookup/LookupSettings.h"
#include "lookup/SruAnswer.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace hondana {

namespace {

// Why a reply ended early, set by our own guards before they abort it.
const char *const StoppedBecause = "hondana-stopped";

QString networkFailure(const QNetworkReply &reply, const QUrl &service) {
    const QString stopped = reply.property(StoppedBecause).toString();
    if (!stopped.isEmpty())
        return stopped;
    const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300)
        return QStringLiteral("照会先がエラーを返しました (HTTP %1 %2)。しばらくしてからもう一度"
                              "照会してください。")
            .arg(status)
            .arg(reply.attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString());
    return QStringLiteral("照会先「%1」に接続できません。ネットワークの接続を確かめてください。"
                          "(%2)")
        .arg(service.host(), reply.errorString());
}

QString tooLarge() {
    return QStringLiteral("照会先の応答が大きすぎるため、読むのをやめました。");
}

} // namespace

IsbnLookup::IsbnLookup(const QUrl &service, LookupCache *cache, QObject *parent)
    : QObject(parent), m_service(service), m_cache(cache),
      m_network(new QNetworkAccessManager(this)), m_sizeLimit(MaximumSruAnswerBytes) {}

IsbnLookup::IsbnLookup(const QUrl &service, const QString &folder, QObject *parent)
    : IsbnLookup(service, nullptr, parent) {
    try {
        m_ownCache = std::make_unique<LookupCache>(folder);
        m_cache = m_ownCache.get();
    } catch (const Failure &failure) {
        m_cacheProblem = failure.message();
    }
}

IsbnLookup::~IsbnLookup() = default;

void IsbnLookup::lookUp(const Isbn &isbn) {
    ++m_pending;
    if (m_cache) {
        if (const std::optional<QByteArray> kept = m_cache->find(isbn)) {
            LookupResult result = read(isbn, *kept, true);
            // A kept answer that no longer reads is asked for again.
            if (result.outcome != LookupResult::Outcome::Failed) {
                QMetaObject::invokeMethod(
                    this, [this, result] { finish(result); }, Qt::QueuedConnection);
                return;
            }
        }
    }
    QNetworkRequest request(searchAddress(m_service, isbn.digits()));
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("hondana/1.02"));
    QNetworkReply *reply = m_network->get(request);
    const auto stop = [reply](const QString &why) {
        reply->setProperty(StoppedBecause, why);
        reply->abort();
    };
    auto *timer = new QTimer(reply);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, reply, [stop, this] {
        stop(QStringLiteral("照会先が%1秒以内に応答しませんでした。しばらくしてからもう一度照会"
                            "してください。")
                 .arg(double(m_timeout.count()) / 1000.0));
    });
    timer->start(m_timeout);
    connect(reply, &QNetworkReply::downloadProgress, reply,
            [reply, stop, limit = m_sizeLimit](qint64 bytes, qint64 total) {
                if ((bytes > limit || total > limit) && reply->isRunning())
                    stop(tooLarge());
            });
    connect(reply, &QNetworkReply::finished, this, [this, reply, isbn] { received(reply, isbn); });
}

void IsbnLookup::received(QNetworkReply *reply, const Isbn &isbn) {
    reply->deleteLater();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status >= 300 ||
        !reply->property(StoppedBecause).isNull()) {
        finish({isbn, LookupResult::Outcome::Failed, {}, networkFailure(*reply, m_service)});
        return;
    }
    // On the loopback or a fast line the whole answer may be in before the progress guard runs.
    if (reply->bytesAvailable() > m_sizeLimit) {
        finish({isbn, LookupResult::Outcome::Failed, {}, tooLarge()});
        return;
    }
    const QByteArray answer = reply->readAll();
    LookupResult result = read(isbn, answer, false);
    if (result.outcome != LookupResult::Outcome::Failed && m_cache) {
        try {
            m_cache->store(isbn, answer);
        } catch (const Failure &failure) {
            result.message +=
                (result.message.isEmpty() ? QString() : QStringLiteral("\n")) + failure.message();
        }
    }
    finish(result);
}

LookupResult IsbnLookup::read(const Isbn &isbn, const QByteArray &answer, bool fromCache) {
    LookupResult result{isbn, LookupResult::Outcome::Failed, {}, {}, fromCache};
    try {
        const SruAnswer sru = readSruAnswer(answer);
        result.outcome = sru.found ? LookupResult::Outcome::Found : LookupResult::Outcome::NotFound;
        result.book = sru.book;
        if (result.book.isbn.isEmpty())
            result.book.isbn = isbn;
        result.message =
            sru.found ? sru.note : QStringLiteral("この ISBN の書誌は見つかりませんでした。");
    } catch (const Failure &failure) {
        result.message = failure.message();
    }
    return result;
}

void IsbnLookup::finish(const LookupResult &result) {
    --m_pending;
    Q_EMIT finished(result);
}

QString resultLine(const LookupResult &result) {
    const LookedUpBook &book = result.book;
    if (result.outcome != LookupResult::Outcome::Found)
        return result.isbn.digits() + u'\t' + QString(result.message).replace(u'\n', u' ');
    QStringList authors;
    for (const NameWithReading &author : book.authors)
        authors << author.name;
    QStringList fields{result.isbn.digits(),
                       book.title.name,
                       book.title.reading,
                       authors.join(QStringLiteral(" / ")),
                       book.publisher.name,
                       book.issued,
                       book.price,
                       book.extent,
                       book.ndc};
    // A tab or line end inside a field would shift every column after it.
    for (QString &field : fields)
        field = field.simplified();
    return fields.join(u'\t');
}

} // namespace hondana
