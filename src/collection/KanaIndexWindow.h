#pragma once

#include "collection/IndexEntries.h"
#include "db/Connection.h"
#include "widgets/WindowNames.h"

#include <QWidget>

#include <memory>
#include <vector>

class QLabel;
class QPushButton;
class QTabBar;
class QTableView;

namespace hondana {

namespace collection {
class IndexBookModel;
class IndexCatalogue;
class IndexEntryModel;
class IndexEntryView;
} // namespace collection

// The 50音 index: titles, authors and publishers in Japanese order, with a row of buttons (and
// typed kana) that jump to a 50音 row, each entry's books, and the register moved to a book on
// Enter. The readings of authors and publishers are edited in place here.
class KanaIndexWindow : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::KanaIndex;
    static inline const QString Caption = QStringLiteral("50音索引");

    explicit KanaIndexWindow(QWidget *parent = nullptr);
    ~KanaIndexWindow() override;

    void showTab(collection::IndexTab tab);
    // Makes the first entry of 50音 row `row` current; false when the row has none.
    bool jumpToRow(KanaRow row);
    // Makes the first entry from `kana` on current.
    void jumpTo(const QString &kana);

protected:
    void showEvent(QShowEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void load();
    void makeCurrent(int position);
    void entryChosen();
    void entryActivated();
    void openBook();
    void storeNameReading(collection::IndexTab list, qint64 masterRowId, const QString &reading);

    Connection m_connection;
    std::unique_ptr<collection::IndexCatalogue> m_catalogue;
    collection::IndexEntryModel *m_entries = nullptr;
    collection::IndexBookModel *m_books = nullptr;
    QTabBar *m_tabs = nullptr;
    std::vector<QPushButton *> m_rowButtons;
    collection::IndexEntryView *m_entryView = nullptr;
    QTableView *m_bookView = nullptr;
    QLabel *m_count = nullptr;
    bool m_placed = false;
    // The register wrote a book since the entries were read.
    bool m_outOfDate = false;
};

} // namespace hondana
