#pragma once

#include "catalogue/JapaneseOrder.h"
#include "catalogue/StoredReadings.h"
#include "db/CatalogueRows.h"

#include <QCollatorSortKey>
#include <QHash>
#include <QString>

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace hondana::collection {

// The index's three lists.
enum class IndexTab { Titles, Authors, Publishers };

// One line of the index: a title, an author or a publisher, with its reading and its books.
struct IndexEntry {
    QString text;
    QString reading;
    bool suggested = false;
    // The author's or publisher's row in its list; 0 for a title.
    qint64 masterRowId = 0;
    // The entry's books, as rows of the catalogue's books in the register's order.
    std::vector<qint32> books;
};

// The entries of one tab in Japanese order: by reading, by text where there is none. Built once
// from the rows the catalogue shares and the stored readings; each entry's sort key is worked
// out once, so jumping is a search, not a comparison of texts. Titles are grouped: the volumes of
// one title with one reading are one entry.
class IndexEntries {
public:
    // The 50音 rows the index jumps to: あ か さ た な は ま や ら わ, then 他 for the rest.
    static constexpr int RowCount = int(KanaRow::Other) + 1;

    IndexEntries(IndexTab tab, std::shared_ptr<const CatalogueRows> rows,
                 const QHash<qint64, StoredReadings::Reading> &readings);

    IndexTab tab() const { return m_tab; }
    int count() const { return int(m_order.size()); }
    const IndexEntry &at(int position) const {
        return m_entries[size_t(m_order[size_t(position)])];
    }
    const CatalogueRows &rows() const { return *m_rows; }

    // The first entry of 50音 row `row`; -1 when the row has none.
    int firstOfRow(KanaRow row) const { return m_firstOfRow[size_t(row)]; }
    // The first entry that does not sort before `kana` (typed in hiragana or katakana);
    // count() when every entry does.
    int firstFrom(const QString &kana) const;

    // Gives the entry at `position` a new reading (empty: none) and returns where it stands now.
    int setReading(int position, const QString &reading, bool suggested);

private:
    void addTitles(const QHash<qint64, StoredReadings::Reading> &readings);
    void addMasters(CatalogueRows::Part part,
                    const QHash<qint64, StoredReadings::Reading> &readings);
    QCollatorSortKey keyOf(const IndexEntry &entry) const;
    void sort();
    void findRows();

    IndexTab m_tab;
    JapaneseOrder m_japanese;
    std::shared_ptr<const CatalogueRows> m_rows;
    std::vector<IndexEntry> m_entries;
    std::vector<QCollatorSortKey> m_keys; // by entry
    std::vector<int> m_order;             // entries in Japanese order
    std::array<int, RowCount> m_firstOfRow{};
};

} // namespace hondana::collection
