#include "collection/IndexCatalogue.h"

namespace hondana::collection {

namespace {

int indexOf(IndexTab tab) {
    return int(tab);
}

} // namespace

IndexCatalogue::IndexCatalogue(std::shared_ptr<const CatalogueRows> rows, ReadingsOf readingsOf)
    : m_rows(std::move(rows)), m_readingsOf(std::move(readingsOf)) {
    m_titleColumn = m_rows->parts[CatalogueRows::Books].fields.indexOf(QStringLiteral("題名"));
}

const QHash<qint64, StoredReadings::Reading> &IndexCatalogue::readings(IndexTab tab) {
    auto &readings = m_readings[indexOf(tab)];
    if (!readings)
        readings = m_readingsOf(tab);
    return *readings;
}

IndexEntries &IndexCatalogue::entries(IndexTab tab) {
    auto &entries = m_entries[indexOf(tab)];
    if (!entries)
        entries = std::make_unique<IndexEntries>(tab, m_rows, readings(tab));
    return *entries;
}

qint64 IndexCatalogue::bookRowId(int book) const {
    return m_rows->parts[CatalogueRows::Books].rows->rowId(book);
}

QString IndexCatalogue::title(int book) const {
    const RecordStorage &books = *m_rows->parts[CatalogueRows::Books].rows;
    return books.value(book, m_titleColumn).toString().trimmed();
}

QString IndexCatalogue::titleReading(int book) {
    return readings(IndexTab::Titles).value(bookRowId(book)).text;
}

const IndexEntry *IndexCatalogue::entryOf(IndexTab list, int book) {
    auto &entryOfBook = m_entryOfBook[indexOf(list)];
    if (entryOfBook.empty()) {
        entryOfBook.assign(size_t(m_rows->parts[CatalogueRows::Books].rows->rows()), nullptr);
        const IndexEntries &all = entries(list);
        for (int position = 0; position < all.count(); ++position) {
            for (qint32 row : all.at(position).books)
                entryOfBook[size_t(row)] = &all.at(position);
        }
    }
    return entryOfBook[size_t(book)];
}

QString IndexCatalogue::name(IndexTab list, int book) {
    const IndexEntry *entry = entryOf(list, book);
    return entry ? entry->text : QString();
}

QString IndexCatalogue::nameReading(IndexTab list, int book) {
    const IndexEntry *entry = entryOf(list, book);
    return entry ? entry->reading : QString();
}

int IndexCatalogue::setNameReading(IndexTab list, int position, const QString &reading) {
    IndexEntries &all = entries(list);
    auto &stored = m_readings[indexOf(list)];
    const qint64 rowId = all.at(position).masterRowId;
    if (stored && reading.isEmpty())
        stored->remove(rowId);
    else if (stored)
        stored->insert(rowId, {reading, StoredReadings::Origin::User});
    return all.setReading(position, reading, false);
}

} // namespace hondana::collection
