#pragma once

#include "lookup/IsbnLookup.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

#include <functional>

namespace hondana {

// The ISBNs scanned in a row, each with what became of it: checked on entry, looked up in the
// background (as many at a time as are scanned), and corrected or dropped by the user. The ISBN
// column is editable; a corrected number is checked and looked up again.
class ScannedBooks : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { IsbnColumn, StateColumn, TitleColumn, AuthorColumn, PublisherColumn, Columns };
    enum class State {
        Invalid,
        AlreadyScanned,
        InCatalogue,
        NotAsked,
        Waiting,
        Found,
        NotFound,
        Failed
    };
    // Whether a book of the catalogue already has this ISBN.
    using CatalogueCheck = std::function<bool(const Isbn &)>;

    explicit ScannedBooks(CatalogueCheck inCatalogue, QObject *parent = nullptr);

    // Where look-ups go; nullptr while the user has not allowed them (rows wait, NotAsked).
    // Rows that waited are looked up as soon as there is one.
    void setLookup(IsbnLookup *lookup);

    // A scanned or typed number, as a new last row. Returns its row.
    int take(const QString &typed);
    void drop(QList<int> rows);

    State state(int row) const { return m_rows.at(row).state; }
    QList<LookedUpBook> foundBooks() const;
    // The rows of foundBooks(), in the same order.
    QList<int> foundRows() const;
    int count(State state) const;
    static QString stateText(State state);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;

Q_SIGNALS:
    // Any row's state changed (for the window's summary line).
    void statesChanged();

private:
    struct Row {
        QString typed;
        Isbn isbn;
        State state = State::Invalid;
        LookedUpBook book;
        QString message;
    };

    // Checks `row`'s typed number and starts its look-up where it needs one.
    void check(int row);
    void answered(const LookupResult &result);
    void changed(int row);

    CatalogueCheck m_inCatalogue;
    QPointer<IsbnLookup> m_lookup;
    QList<Row> m_rows;
};

} // namespace hondana
