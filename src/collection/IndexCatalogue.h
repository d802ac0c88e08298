#pragma once

#include "catalogue/StoredReadings.h"
#include "collection/IndexEntries.h"

#include <QHash>

#include <functional>
#include <memory>

namespace hondana::collection {

// What the 50音 index shows, read once when it opens: the books and lists the catalogue shares,
// their readings, and each tab's entries, built the first time the tab is shown.
class IndexCatalogue {
public:
    using ReadingsOf = std::function<QHash<qint64, StoredReadings::Reading>(IndexTab)>;

    // `readingsOf` reads the stored readings of a tab's kind (titles by book, names by entry);
    // it is asked once per kind, when first needed. Throws Failure.
    IndexCatalogue(std::shared_ptr<const CatalogueRows> rows, ReadingsOf readingsOf);

    IndexEntries &entries(IndexTab tab);
    const CatalogueRows &rows() const { return *m_rows; }

    // One book (a row of the shared books) as the index lists it.
    qint64 bookRowId(int book) const;
    QString title(int book) const;
    QString titleReading(int book);
    QString name(IndexTab list, int book);
    QString nameReading(IndexTab list, int book);

    // Keeps a name's new reading, so every book of that entry shows it. Returns the entry's new
    // position in its tab.
    int setNameReading(IndexTab list, int position, const QString &reading);

private:
    const QHash<qint64, StoredReadings::Reading> &readings(IndexTab tab);
    // The entry of `list` a book refers to; nullptr when it refers to none.
    const IndexEntry *entryOf(IndexTab list, int book);

    std::shared_ptr<const CatalogueRows> m_rows;
    ReadingsOf m_readingsOf;
    std::unique_ptr<IndexEntries> m_entries[3];
    std::optional<QHash<qint64, StoredReadings::Reading>> m_readings[3];
    // Per list, the entry (as an index into the tab's entries' storage) each book refers to.
    std::vector<const IndexEntry *> m_entryOfBook[3];
    int m_titleColumn = -1;
};

} // namespace hondana::collection
