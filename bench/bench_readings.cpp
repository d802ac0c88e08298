// bench_readings [--misses]: how well readings are suggested and how fast.
//  - Accuracy on bench/data/readings.tsv (well-known titles, authors and publishers with their
//    known readings): the share read exactly right per kind and overall, against the same texts
//    read as plain words (no name preference), and how many suggestions held anything but kana.
//  - Speed: every title, author and publisher of a 100,000-book, 12,500-author catalogue on one
//    thread and on every core; one title alone.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "catalogue/ReadingSuggester.h"
#include "catalogue/ReadingText.h"
#include "db/Connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <map>

using namespace hondana;
using namespace hondana::bench;
using namespace hondana::test;

namespace {

struct Entry {
    QString text;
    QString kind;
    QString reading;
};

QList<Entry> knownReadings() {
    QFile file(QStringLiteral(HONDANA_BENCH_DATA "/readings.tsv"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(file.fileName()));
    QList<Entry> entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QStringList fields = QString::fromUtf8(line).split(u'\t');
        entries.append({fields.value(0), fields.value(1), fields.value(2)});
    }
    return entries;
}

ReadingKind kindOf(const QString &name) {
    if (name == u"author")
        return ReadingKind::Person;
    if (name == u"publisher")
        return ReadingKind::Publisher;
    return ReadingKind::Title;
}

struct Score {
    int right = 0;
    int asWords = 0;
    int total = 0;
    int notKana = 0;
    int unread = 0;
};

void measureAccuracy(const ReadingSuggester &suggester, bool showMisses) {
    std::map<QString, Score> scores;
    for (const Entry &entry : knownReadings()) {
        const QString suggestion = suggester.suggest(entry.text, kindOf(entry.kind));
        const QString asWords = suggester.suggest(entry.text, ReadingKind::Title);
        for (Score *score : {&scores[entry.kind], &scores[QStringLiteral("overall")]}) {
            ++score->total;
            score->right += suggestion == entry.reading;
            score->asWords += asWords == entry.reading;
            score->notKana += !readings::isKatakanaOnly(suggestion);
            score->unread += suggestion.isEmpty();
        }
        if (showMisses && suggestion != entry.reading)
            std::printf("  miss %-8s %s: %s (expected %s)\n", qPrintable(entry.kind),
                        qPrintable(entry.text), qPrintable(suggestion), qPrintable(entry.reading));
    }
    std::printf("accuracy on %s/readings.tsv (exactly right; read as plain words):\n",
                HONDANA_BENCH_DATA);
    for (const auto &[kind, score] : scores)
        std::printf("  %-9s %3d entries  %5.1f %%  (plain %5.1f %%)  unread %d  not kana %d\n",
                    qPrintable(kind), score.total, 100.0 * score.right / score.total,
                    100.0 * score.asWords / score.total, score.unread, score.notKana);
}

QStringList column(const QString &catalogue, const QString &sql) {
    const QString name = openDatabaseFile(catalogue, QStringLiteral("bench"));
    QStringList values;
    {
        QSqlQuery query(QSqlDatabase::database(name));
        query.exec(sql);
        while (query.next())
            values << query.value(0).toString();
    }
    closeDatabase(name);
    return values;
}

void measureSpeed(const ReadingSuggester &suggester) {
    QTemporaryDir folder;
    CatalogueShape shape;
    shape.books = 100000;
    shape.authors = 12500;
    const QString catalogue = seedDataFolder(folder.path(), shape);
    const QStringList titles = column(catalogue, QStringLiteral("SELECT 題名 FROM BOOK"));
    const QStringList authors = column(catalogue, QStringLiteral("SELECT 著者名 FROM CHOSHA"));
    const QStringList publishers = column(catalogue, QStringLiteral("SELECT 発行所 FROM HAKKOU"));
    std::printf("speed on %lld titles, %lld authors, %lld publishers (%d cores):\n",
                qlonglong(titles.size()), qlonglong(authors.size()), qlonglong(publishers.size()),
                QThread::idealThreadCount());
    for (int threads : {1, 0}) {
        qsizetype read = 0;
        const double ms = medianMs(3, [&] {
            read = 0;
            for (const QString &text :
                 suggester.suggestAll(titles, ReadingKind::Title, {}, threads))
                read += !text.isEmpty();
            for (const QString &text :
                 suggester.suggestAll(authors, ReadingKind::Person, {}, threads))
                read += !text.isEmpty();
            for (const QString &text :
                 suggester.suggestAll(publishers, ReadingKind::Publisher, {}, threads))
                read += !text.isEmpty();
        });
        std::printf("  all on %s: %.0f ms, %lld of %lld read\n",
                    threads == 1 ? "one thread" : "every core", ms, qlonglong(read),
                    qlonglong(titles.size() + authors.size() + publishers.size()));
    }
    int i = 0;
    const double one =
        medianMs(101, [&] { suggester.suggest(titles[i++ % titles.size()], ReadingKind::Title); });
    std::printf("  one title: %.3f ms\n", one);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QElapsedTimer load;
    load.start();
    const ReadingSuggester suggester;
    std::printf("dictionary loaded in %lld ms\n", qlonglong(load.elapsed()));
    measureAccuracy(suggester, app.arguments().contains(QStringLiteral("--misses")));
    if (!app.arguments().contains(QStringLiteral("--accuracy")))
        measureSpeed(suggester);
    return 0;
}
