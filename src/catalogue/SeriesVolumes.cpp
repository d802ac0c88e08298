#include "catalogue/SeriesVolumes.h"

#include "base/Failure.h"
#include "catalogue/JapaneseOrder.h"
#include "db/Connection.h"
#include "db/InputParsing.h"
#include "db/SqliteStatement.h"
#include "db/TextFolding.h"

#include <QHash>

#include <algorithm>
#include <climits>
#include <optional>

#include <sqlite3.h>

namespace hondana {

namespace {

std::optional<int> columnNumber(sqlite3_stmt *statement, int column) {
    if (sqlite3_column_type(statement, column) == SQLITE_NULL)
        return std::nullopt;
    return int(sqlite3_column_int64(statement, column));
}

// A volume designation that is a number (２ and 2 alike, 第2巻 too) gives the volume's number.
std::optional<int> designatedNumber(const QString &designation) {
    QString digits = input::toHalfWidthDigits(designation).trimmed();
    if (digits.startsWith(u'第') && digits.endsWith(u'巻'))
        digits = digits.mid(1, digits.size() - 2).trimmed();
    bool ok = false;
    const int number = digits.toInt(&ok);
    return ok && number > 0 ? std::optional<int>(number) : std::nullopt;
}

struct Volume {
    qint64 book = 0;
    std::optional<int> number;
    QString designation;
};

} // namespace

QList<int> Series::missing() const {
    const int last = std::max(total, owned.isEmpty() ? 0 : owned.last());
    QList<int> lacking;
    for (int volume = 1; volume <= last; ++volume) {
        if (!std::binary_search(owned.begin(), owned.end(), volume))
            lacking << volume;
    }
    return lacking;
}

bool Series::incomplete() const {
    // Volumes owned are distinct and ascending, so fewer of them than the last one means a gap.
    const int last = std::max(total, owned.isEmpty() ? 0 : owned.last());
    return owned.size() < last;
}

QString Series::ownedText() const {
    QStringList parts{volumeRanges(owned)};
    parts << designations;
    parts.removeAll(QString());
    return parts.join(QStringLiteral(", "));
}

QString volumeRanges(const QList<int> &volumes) {
    QStringList parts;
    for (qsizetype i = 0; i < volumes.size();) {
        qsizetype end = i;
        while (end + 1 < volumes.size() && volumes[end + 1] == volumes[end] + 1)
            ++end;
        if (end - i >= 2) {
            parts << QStringLiteral("%1–%2").arg(volumes[i]).arg(volumes[end]);
        } else {
            for (qsizetype k = i; k <= end; ++k)
                parts << QString::number(volumes[k]);
        }
        i = end + 1;
    }
    return parts.join(QStringLiteral(", "));
}

QList<Series> readSeries(Connection &connection) {
    sqlite3 *handle = sqlite::handleOf(connection.database());
    const QString context = QStringLiteral("目録を読めません");
    connection.ensureOwnTables();
    sqlite::Statement books(
        handle,
        QStringLiteral("SELECT b.rowid, b.[題名], b.[ｼﾘｰｽﾞ], b.SEQNO, b.[全体NO], r.reading "
                       "FROM BOOK b LEFT JOIN title_reading r ON r.book_rowid = b.rowid "
                       "WHERE b.[題名] IS NOT NULL ORDER BY b.rowid"),
        context);
    QHash<QString, qsizetype> byTitle;
    QList<Series> all;
    QList<QList<Volume>> volumes;
    int result;
    while ((result = books.step()) == SQLITE_ROW) {
        sqlite3_stmt *row = books.get();
        const QString title = sqlite::columnText(row, 1).trimmed();
        const QString key = folding::folded(title);
        if (key.isEmpty())
            continue;
        qsizetype &at = byTitle[key];
        if (at == 0) {
            all.append({title, sqlite::columnText(row, 5), {}, {}, 0, {}});
            volumes.append(QList<Volume>());
            at = all.size();
        }
        Series &series = all[at - 1];
        series.total = std::max(series.total, columnNumber(row, 4).value_or(0));
        const QString designation = sqlite::columnText(row, 2).trimmed();
        std::optional<int> number = columnNumber(row, 3);
        if (!number || *number <= 0)
            number = designatedNumber(designation);
        volumes[at - 1].append({sqlite3_column_int64(row, 0), number, designation});
    }
    if (sqlite::Statement::failed(result))
        throw Failure(context + QStringLiteral(": ") + sqlite::lastError(handle));

    QList<Series> held;
    for (qsizetype s = 0; s < all.size(); ++s) {
        QList<Volume> &ofSeries = volumes[s];
        if (ofSeries.size() < 2 && all[s].total < 2)
            continue;
        std::stable_sort(ofSeries.begin(), ofSeries.end(), [](const Volume &a, const Volume &b) {
            return a.number.value_or(INT_MAX) < b.number.value_or(INT_MAX);
        });
        Series series = std::move(all[s]);
        for (const Volume &volume : std::as_const(ofSeries)) {
            series.books.append({volume.book, volume.number ? QString::number(*volume.number)
                                                            : volume.designation});
            if (volume.number) {
                if (series.owned.isEmpty() || series.owned.last() != *volume.number)
                    series.owned << *volume.number;
            } else if (!volume.designation.isEmpty()) {
                series.designations << volume.designation;
            }
        }
        held << std::move(series);
    }
    // Keys made once: a large collection holds tens of thousands of series.
    const JapaneseOrder order;
    QList<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(held.size());
    for (qsizetype i = 0; i < held.size(); ++i)
        keys.append({order.sortKey(held[i].title, held[i].reading), i});
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto &a, const auto &b) { return a.first.compare(b.first) < 0; });
    QList<Series> sorted;
    sorted.reserve(held.size());
    for (const auto &key : std::as_const(keys))
        sorted << std::move(held[key.second]);
    return sorted;
}

} // namespace hondana
