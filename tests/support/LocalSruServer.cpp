#include "support/LocalSruServer.h"

#include <QFile>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <QUrlQuery>

namespace hondana::test {

namespace {

QSemaphore listening;

QByteArray response(const LocalSruServer::Reply &reply) {
    return QByteArray("HTTP/1.1 ") + QByteArray::number(reply.status) +
           (reply.status == 200 ? " OK" : " Error") +
           "\r\nContent-Type: application/xml; charset=utf-8\r\nConnection: close\r\n"
           "Content-Length: " +
           QByteArray::number(reply.body.size()) + "\r\n\r\n" + reply.body;
}

} // namespace

LocalSruServer::LocalSruServer() {
    start();
    listening.acquire();
}

LocalSruServer::~LocalSruServer() {
    shutDown();
}

QString LocalSruServer::address() const {
    return QStringLiteral("http://127.0.0.1:%1/api/sru").arg(m_port);
}

void LocalSruServer::answer(const QString &isbn, const Reply &reply) {
    const QMutexLocker lock(&m_mutex);
    m_replies.insert(isbn, reply);
}

void LocalSruServer::shutDown() {
    quit();
    wait();
}

QByteArray LocalSruServer::recorded(const QString &name) {
    QFile file(QStringLiteral(HONDANA_TEST_SUPPORT_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("no recorded answer %s", qPrintable(name));
    return file.readAll();
}

LocalSruServer::Reply LocalSruServer::replyFor(const QByteArray &request) {
    // "GET /api/sru?...&query=isbn%3D9784... HTTP/1.1"
    const QUrl url(QString::fromLatin1(request.split(' ').value(1)));
    const QString query =
        QUrlQuery(url).queryItemValue(QStringLiteral("query"), QUrl::FullyDecoded);
    const QMutexLocker lock(&m_mutex);
    return m_replies.value(query.section(u'=', 1), Reply{"not recorded", 404});
}

void LocalSruServer::run() {
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    m_port = server.serverPort();
    QObject::connect(&server, &QTcpServer::newConnection, &server, [this, &server] {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                if (!socket->canReadLine() || socket->property("answered").toBool())
                    return;
                socket->setProperty("answered", true);
                ++m_requests;
                const Reply reply = replyFor(socket->readLine());
                QTimer::singleShot(reply.delayMs, socket, [socket, reply] {
                    socket->write(response(reply));
                    socket->disconnectFromHost();
                });
            });
        }
    });
    listening.release();
    exec();
}

} // namespace hondana::test
