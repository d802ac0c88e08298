#include "collection/IndexEntries.h"

#include "catalogue/JapaneseOrder.h"
#include "catalogue/ReadingText.h"
#include "db/Schema.h"

#include <algorithm>

namespace hondana::collection {

namespace {

using Part = CatalogueRows::Part;

QString textOf(const RecordStorage &rows, int row, int column) {
    const Cell &cell = rows.cell(row, column);
    if (cell.type == Cell::Text)
        return QString::fromUtf8(rows.utf8(cell)).trimmed();
    return cell.type == Cell::Null ? QString() : rows.toVariant(cell).toString().trimmed();
}

// A number column as the books and the lists hold it; books without one refer to no entry.
std::optional<qint64> numberOf(const RecordStorage &rows, int row, int column) {
    const Cell &cell = rows.cell(row, column);
    if (cell.type == Cell::Integer)
        return cell.value;
    if (cell.type == Cell::Null)
        return std::nullopt;
    bool ok = false;
    const qint64 number = rows.toVariant(cell).toLongLong(&ok);
    return ok ? std::optional(number) : std::nullopt;
}

} // namespace

IndexEntries::IndexEntries(IndexTab tab, std::shared_ptr<const CatalogueRows> rows,
                           const QHash<qint64, StoredReadings::Reading> &readings)
    : m_tab(tab), m_rows(std::move(rows)) {
    switch (tab) {
    case IndexTab::Titles:
        addTitles(readings);
        break;
    case IndexTab::Authors:
        addMasters(Part::Authors, readings);
        break;
    case IndexTab::Publishers:
        addMasters(Part::Publishers, readings);
        break;
    }
    m_keys.reserve(m_entries.size());
    for (const IndexEntry &entry : m_entries)
        m_keys.push_back(keyOf(entry));
    sort();
}

void IndexEntries::addTitles(const QHash<qint64, StoredReadings::Reading> &readings) {
    const CatalogueRows::Table &books = m_rows->parts[Part::Books];
    const int titleColumn = books.fields.indexOf(QStringLiteral("題名"));
    const RecordStorage &rows = *books.rows;
    QHash<QString, int> byTitle;
    byTitle.reserve(rows.rows());
    for (int row = 0; row < rows.rows(); ++row) {
        const QString title = textOf(rows, row, titleColumn);
        const auto reading = readings.constFind(rows.rowId(row));
        const bool hasReading = reading != readings.constEnd();
        const QString readingText = hasReading ? reading->text : QString();
        const QString key = title + QChar(0x1f) + readingText;
        auto found = byTitle.constFind(key);
        if (found == byTitle.constEnd()) {
            found = byTitle.insert(key, int(m_entries.size()));
            m_entries.push_back({title,
                                 readingText,
                                 hasReading && reading->origin == StoredReadings::Origin::Suggested,
                                 0,
                                 {}});
        }
        m_entries[size_t(*found)].books.push_back(row);
    }
}

void IndexEntries::addMasters(CatalogueRows::Part part,
                              const QHash<qint64, StoredReadings::Reading> &readings) {
    const CatalogueRows::Table &list = m_rows->parts[part];
    const QString number = CatalogueRows::numberOf(part);
    const int numberColumn = list.fields.indexOf(number);
    const int nameColumn =
        list.fields.indexOf(schema::masterNameColumns().at(part - Part::Authors));
    QHash<qint64, int> byNumber;
    for (int row = 0; row < list.rows->rows(); ++row) {
        const qint64 rowId = list.rows->rowId(row);
        const auto reading = readings.constFind(rowId);
        const bool hasReading = reading != readings.constEnd();
        if (const auto key = numberOf(*list.rows, row, numberColumn))
            byNumber.insert(*key, int(m_entries.size()));
        m_entries.push_back({textOf(*list.rows, row, nameColumn),
                             hasReading ? reading->text : QString(),
                             hasReading && reading->origin == StoredReadings::Origin::Suggested,
                             rowId,
                             {}});
    }
    const CatalogueRows::Table &books = m_rows->parts[Part::Books];
    const int reference = books.fields.indexOf(number);
    for (int row = 0; row < books.rows->rows(); ++row) {
        const auto key = numberOf(*books.rows, row, reference);
        const auto entry = key ? byNumber.constFind(*key) : byNumber.constEnd();
        if (entry != byNumber.constEnd())
            m_entries[size_t(*entry)].books.push_back(row);
    }
}

QCollatorSortKey IndexEntries::keyOf(const IndexEntry &entry) const {
    return m_japanese.sortKey(entry.text, entry.reading);
}

void IndexEntries::sort() {
    m_order.resize(m_entries.size());
    for (size_t i = 0; i < m_order.size(); ++i)
        m_order[i] = int(i);
    std::stable_sort(m_order.begin(), m_order.end(), [this](int a, int b) {
        return m_keys[size_t(a)].compare(m_keys[size_t(b)]) < 0;
    });
    findRows();
}

void IndexEntries::findRows() {
    m_firstOfRow.fill(-1);
    for (int position = 0; position < count(); ++position) {
        const IndexEntry &entry = at(position);
        const int row = int(JapaneseOrder::rowOf(entry.text, entry.reading));
        if (m_firstOfRow[size_t(row)] < 0)
            m_firstOfRow[size_t(row)] = position;
    }
}

int IndexEntries::firstFrom(const QString &kana) const {
    const QCollatorSortKey key = m_japanese.sortKey(readings::toKatakana(kana), {});
    const auto found = std::lower_bound(m_order.begin(), m_order.end(), 0, [&](int entry, int) {
        return m_keys[size_t(entry)].compare(key) < 0;
    });
    return int(found - m_order.begin());
}

int IndexEntries::setReading(int position, const QString &reading, bool suggested) {
    const int entryIndex = m_order[size_t(position)];
    IndexEntry &entry = m_entries[size_t(entryIndex)];
    entry.reading = reading;
    entry.suggested = suggested;
    m_keys[size_t(entryIndex)] = keyOf(entry);
    m_order.erase(m_order.begin() + position);
    const auto place =
        std::upper_bound(m_order.begin(), m_order.end(), entryIndex, [this](int moved, int other) {
            return m_keys[size_t(moved)].compare(m_keys[size_t(other)]) < 0;
        });
    const int newPosition = int(place - m_order.begin());
    m_order.insert(place, entryIndex);
    findRows();
    return newPosition;
}

} // namespace hondana::collection
