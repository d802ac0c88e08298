#pragma once

#include "collection/IndexCatalogue.h"

#include <QAbstractTableModel>

#include <functional>

namespace hondana::collection {

// The entries of one tab of the 50音 index: text, reading and number of books. The readings of
// authors and publishers are edited in place; a title's reading is the details panel's.
class IndexEntryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TextColumn, ReadingColumn, BooksColumn, ColumnCount };
    // Stores a name's reading as the user's (empty: none); throws Failure to refuse it.
    using ReadingWriter = std::function<void(IndexTab list, qint64 masterRowId, const QString &)>;

    IndexEntryModel(IndexCatalogue &catalogue, ReadingWriter writer, QObject *parent = nullptr);

    void showTab(IndexTab tab);
    IndexTab tab() const { return m_tab; }
    IndexEntries &entries() const { return m_catalogue.entries(m_tab); }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;

Q_SIGNALS:
    // A reading that cannot be stored, with the message to show.
    void refused(const QString &message);

private:
    void moveRow(int from, int to);

    IndexCatalogue &m_catalogue;
    ReadingWriter m_writer;
    IndexTab m_tab = IndexTab::Titles;
};

// The books of one entry of the index, in the register's order.
class IndexBookModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column {
        TitleColumn,
        TitleReadingColumn,
        AuthorColumn,
        AuthorReadingColumn,
        PublisherColumn,
        ColumnCount
    };

    explicit IndexBookModel(IndexCatalogue &catalogue, QObject *parent = nullptr);

    // Lists the books of `entry`; nullptr lists none.
    void showBooks(const IndexEntry *entry);
    // Shows the readings again after a name's reading changed.
    void readingsChanged();
    // The book's rowid in BOOK.
    qint64 bookRowId(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    IndexCatalogue &m_catalogue;
    std::vector<qint32> m_books;
};

} // namespace hondana::collection
