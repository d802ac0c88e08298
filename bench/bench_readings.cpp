// bench_readings [--misses] [--accuracy]: how well readings are suggested and how fast.
//  - Accuracy on well-known titles, authors and publishers with their known readings: the share
//    read exactly right per kind and overall, against the same texts read as plain words (no name
//    preference), and how many suggestions held anything but kana. bench/data/readings.tsv is the
//    set the suggester was tuned on; readings-heldout.tsv was kept apart, so its figure is the
//    honest one, and --misses lists the misses of the tuning set only.
//  - Speed: every title, author and publisher of a 100,000-book, 12,500-author catalogue on one
//    thread and on every core; the whole fill (read, suggest, store); one saved title.

#include "BenchSupport.h"
#include "CatalogueGenerator.h"
#include "catalogue/ReadingFill.h"
#include "catalogue/ReadingSuggester.h"
#include "catalogue/ReadingText.h"
#include "catalogue/StoredReadings.h"
#include "db/Connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
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

QList<Entry> knownReadings(const QString &name) {
    QFile file(QStringLiteral(HONDANA_BENCH_DATA "/") + name);
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
    struct Set {
        const char *name;
        const char *file;
    };
    static constexpr Set Sets[] = {{"tuning", "readings.tsv"},
                                   {"held out", "readings-heldout.tsv"}};
    std::map<QString, Score> scores; // by set and kind, and overall
    for (const Set &set : Sets) {
        for (const Entry &entry : knownReadings(QString::fromUtf8(set.file))) {
            const QString suggestion = suggester.suggest(entry.text, kindOf(entry.kind));
            const QString asWords = suggester.suggest(entry.text, ReadingKind::Title);
            const QString setName = QString::fromUtf8(set.name);
            for (const QString &group :
                 {setName + u' ' + entry.kind, setName + QStringLiteral(" overall"),
                  QStringLiteral("combined ") + entry.kind, QStringLiteral("combined overall")}) {
                Score &score = scores[group];
                ++score.total;
                score.right += suggestion == entry.reading;
                score.asWords += asWords == entry.reading;
                score.notKana += !readings::isKatakanaOnly(suggestion);
                score.unread += suggestion.isEmpty();
            }
            if (showMisses && set.file == Sets[0].file &&
                (suggestion != entry.reading || asWords != entry.reading))
                std::printf("  miss %-8s %s: %s, as words %s (expected %s)\n",
                            qPrintable(entry.kind), qPrintable(entry.text), qPrintable(suggestion),
                            qPrintable(asWords), qPrintable(entry.reading));
        }
    }
    std::printf("accuracy on %s/readings*.tsv (exactly right; read as plain words):\n",
                HONDANA_BENCH_DATA);
    for (const auto &[group, score] : scores)
        std::printf("  %-18s %3d entries  %5.1f %%  (plain %5.1f %%)  unread %d  not kana %d\n",
                    qPrintable(group), score.total, 100.0 * score.right / score.total,
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

    // The whole fill as the command and the screens run it: read, suggest, store.
    QElapsedTimer fill;
    fill.start();
    Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
    connection.open();
    const ReadingFillSummary summary = fillSuggestedReadings(connection, suggester);
    std::printf("  fill of the catalogue: %lld ms, %d filled, %d unread\n",
                qlonglong(fill.elapsed()), summary.filled, summary.unread);

    // One saved book: its title read, and its suggestion stored inside the save's transaction
    // (the register saves the book and its reading together).
    StoredReadings stored(connection);
    const QStringList samples = {QStringLiteral("注文の多い料理店"),
                                 QStringLiteral("銀河鉄道の夜 完全版 上"),
                                 QStringLiteral("世界の中心で、愛をさけぶ")};
    int i = 0;
    QString reading;
    const double read = medianMs(101, [&] {
        reading = suggester.suggest(samples[i++ % samples.size()], ReadingKind::Title);
    });
    QSqlDatabase database = connection.database();
    const double store = medianMs(
        101, [&] { stored.setTitle(++i, reading, StoredReadings::Origin::Suggested); },
        [&] {
            database.commit();
            database.transaction();
        });
    database.commit();
    std::printf("  one saved title: read %.3f ms, stored in the save's transaction %.3f ms\n", read,
                store);
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
