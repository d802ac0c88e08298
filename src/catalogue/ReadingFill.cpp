#include "catalogue/ReadingFill.h"

#include "base/FaultPoint.h"
#include "catalogue/ReadingSuggester.h"
#include "catalogue/StoredReadings.h"
#include "db/Connection.h"
#include "db/SqliteStatement.h"

#include <QHash>

#include <sqlite3.h>

namespace hondana {

namespace {

// One kind of entry waiting for readings: what to read, and where the suggestions go.
struct Batch {
    ReadingKind kind;
    QList<StoredReadings::Unread> unread;
    QList<StoredReadings::Suggestion> suggestions;
};

// Reads each distinct text of every batch once, spread over the cores; false when stopped.
bool suggestAll(QList<Batch> &batches, const ReadingSuggester &suggester,
                const Progress &progress) {
    qint64 total = 0;
    for (const Batch &batch : batches)
        total += batch.unread.size();
    qint64 before = 0;
    for (Batch &batch : batches) {
        QHash<QString, qsizetype> indexOf;
        QStringList texts;
        for (const StoredReadings::Unread &entry : batch.unread) {
            if (!indexOf.contains(entry.text)) {
                indexOf.insert(entry.text, texts.size());
                texts << entry.text;
            }
        }
        bool stopped = false;
        const QStringList readings =
            suggester.suggestAll(texts, batch.kind, Progress([&](qint64 done, qint64 all) {
                                     // Distinct texts stand for the entries that share them.
                                     stopped = !progress.report(
                                         before + done * batch.unread.size() / qMax(all, 1), total);
                                     return !stopped;
                                 }));
        if (stopped)
            return false;
        for (const StoredReadings::Unread &entry : batch.unread) {
            const QString &reading = readings[indexOf.value(entry.text)];
            if (!reading.isEmpty())
                batch.suggestions.append({entry.rowId, reading});
        }
        before += batch.unread.size();
    }
    return true;
}

} // namespace

ReadingFillSummary fillSuggestedReadings(Connection &connection, const ReadingSuggester &suggester,
                                         const Progress &progress) {
    const StoredReadings stored(connection);
    return fillSuggestedReadings(connection, suggester,
                                 {stored.titlesWithoutReading(),
                                  stored.namesWithoutReading(StoredReadings::Master::Author),
                                  stored.namesWithoutReading(StoredReadings::Master::Publisher)},
                                 progress);
}

ReadingFillSummary fillSuggestedReadings(Connection &connection, const ReadingSuggester &suggester,
                                         const UnreadEntries &entries, const Progress &progress) {
    StoredReadings stored(connection);
    QList<Batch> batches{
        {ReadingKind::Title, entries.titles, {}},
        {ReadingKind::Person, entries.authors, {}},
        {ReadingKind::Publisher, entries.publishers, {}},
    };
    ReadingFillSummary summary;
    if (!suggestAll(batches, suggester, progress)) {
        summary.stopped = true;
        return summary;
    }
    const QString context = QStringLiteral("読みを保存できません");
    sqlite3 *handle = sqlite::handleOf(connection.database());
    faultpoint("readings.suggested");
    sqlite::execute(handle, "BEGIN IMMEDIATE", context);
    try {
        summary.filled += stored.suggestTitles(batches[0].suggestions);
        summary.filled +=
            stored.suggestNames(StoredReadings::Master::Author, batches[1].suggestions);
        summary.filled +=
            stored.suggestNames(StoredReadings::Master::Publisher, batches[2].suggestions);
        faultpoint("readings.commit");
        sqlite::execute(handle, "COMMIT", context);
        faultpoint("readings.committed");
    } catch (...) {
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
        throw;
    }
    for (const Batch &batch : batches)
        summary.unread += int(batch.unread.size() - batch.suggestions.size());
    return summary;
}

} // namespace hondana
