#pragma once

#include "db/Connection.h"
#include "widgets/WindowNames.h"

#include <QWidget>

#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace hondana {

class Isbn;
class IsbnLookup;
class LookupSettings;
class ScannedBooks;

// Scanning a shelf: a barcode scanner types each ISBN and Enter into one field, which takes the
// next at once while earlier ones are looked up in the background; every number is listed with
// what became of it, for the user to correct or drop before the found books are added at once.
class ShelfScanWindow : public QWidget {
    Q_OBJECT

public:
    static inline const QString &Name = windows::ShelfScan;
    static inline const QString Caption = QStringLiteral("棚のスキャン");

    explicit ShelfScanWindow(QWidget *parent = nullptr);
    ~ShelfScanWindow() override;

    ScannedBooks &scanned() { return *m_scanned; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void takeTyped();
    // Asks whether ISBNs may be sent for look-ups, when the user has never said.
    void askConsent();
    void lookupsToggled(bool on);
    void enableLookups();
    void dropSelected();
    // Adds the found books in one transaction after one confirmation; they leave the list.
    void addFound();
    // Sends the selected rows the look-up found to the wish list; they leave the scan's list.
    void sendSelectedToWishes();
    void showSummary();
    // Whether a book of the catalogue carries `isbn`; false when the catalogue cannot be read.
    bool inCatalogue(const Isbn &isbn);

    Connection m_connection;
    std::unique_ptr<LookupSettings> m_settings;
    IsbnLookup *m_lookup = nullptr;
    ScannedBooks *m_scanned = nullptr;
    QLineEdit *m_isbn = nullptr;
    QCheckBox *m_lookupsOn = nullptr;
    QTableView *m_list = nullptr;
    QLabel *m_summary = nullptr;
    QPushButton *m_addAll = nullptr;
    bool m_shownBefore = false;
    bool m_consentAsked = false;
};

void registerScanWindow();

} // namespace hondana
