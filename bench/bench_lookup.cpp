// bench_lookup: a look-up answered from the cache, and the shelf-scan window taking a new ISBN
// while 20 look-ups wait on a slow local server. Run it on a real X server (DISPLAY, e.g. Xvfb).

#include "BenchSupport.h"
#include "lookup/IsbnLookup.h"
#include "lookup/LookupCache.h"
#include "lookup/LookupSettings.h"
#include "scan/ScannedBooks.h"
#include "scan/ShelfScanWindow.h"
#include "support/LocalSruServer.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace hondana;
using namespace hondana::bench;

namespace {

// The `n`th of a run of valid ISBN-13 numbers of Japanese books.
QString isbnNumber(int n) {
    QString digits = QStringLiteral("9784%1").arg(n, 8, 10, QLatin1Char('0'));
    int sum = 0;
    for (int i = 0; i < 12; ++i)
        sum += digits[i].digitValue() * (i % 2 ? 3 : 1);
    return digits + QString::number((10 - sum % 10) % 10);
}

double cachedLookupMs(test::LocalSruServer &server) {
    const QByteArray answer = test::LocalSruServer::recorded(QStringLiteral("sru-found.xml"));
    LookupCache cache;
    for (int n = 0; n < 300; ++n)
        cache.store(Isbn::fromText(isbnNumber(n)), answer);
    server.shutDown(); // every answer must come from the cache
    IsbnLookup lookup(QUrl(server.address()), &cache);
    int n = 0;
    return medianMs(200, [&] {
        QEventLoop loop;
        QObject::connect(&lookup, &IsbnLookup::finished, &loop, &QEventLoop::quit);
        lookup.lookUp(Isbn::fromText(isbnNumber((n++ * 37) % 300)));
        loop.exec();
    });
}

double scanWithLookupsInFlightMs(test::LocalSruServer &server) {
    for (int n = 0; n < 30; ++n)
        server.answer(isbnNumber(20000 + n), {{}, 200, 5000});
    qputenv(LookupSettings::AddressVariable, server.address().toUtf8());
    LookupSettings().setConsent(true);
    ShelfScanWindow window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        std::printf("the window was never shown; figures are without drawing\n");
    auto *field = window.findChild<QLineEdit *>(QStringLiteral("txtIsbn"));
    const auto scan = [field](int n) {
        QTest::keyClicks(field, isbnNumber(20000 + n));
        QTest::keyClick(field, Qt::Key_Return);
    };
    for (int n = 0; n < 20; ++n)
        scan(n);
    QCoreApplication::processEvents();
    int next = 20;
    const double ms = medianMs(5, [&] {
        scan(next++);
        QCoreApplication::processEvents();
    });
    std::printf("look-ups in flight at the end: %d\n",
                window.scanned().count(ScannedBooks::State::Waiting));
    return ms;
}

} // namespace

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    test::LocalSruServer slow;
    std::printf("shelf scan, 13 digits and Enter typed with 20 or more look-ups in flight, median "
                "of 5: %.1f ms\n",
                scanWithLookupsInFlightMs(slow));
    test::LocalSruServer server;
    std::printf("look-up answered from the cache (300 kept), median of 200: %.2f ms\n",
                cachedLookupMs(server));
    return 0;
}
