#pragma once

#include "db/Connection.h"
#include "widgets/ListOutput.h"
#include "widgets/WindowNames.h"

#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace hondana {

class IsbnLookup;
class LookupSettings;
class WishListModel;
struct LookupResult;
struct Wish;

// The wish list: books wanted, the most wanted first. Wishes are added by hand or from an ISBN
// look-up, changed, struck, printed and written as CSV.
class WishListWindow : public QWidget {
    Q_OBJECT

public:
    static inline const QString &Name = windows::Wishes;
    static inline const QString Caption = QStringLiteral("欲しい本");

    explicit WishListWindow(QWidget *parent = nullptr);
    ~WishListWindow() override;

    WishListModel &model() { return *m_model; }

    // Reads the list anew from the catalogue (another window may have changed it).
    Q_INVOKABLE void reload();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    void reloadQuietly(bool quiet);
    void addByHand();
    void editSelected();
    void removeSelected();
    void lookUp();
    void lookedUp(const LookupResult &result);
    // The list as it is printed and saved.
    TextList asList() const;
    // Opens the editor on `wish` and stores what the user confirms; a new wish when its id is 0.
    void openEditor(const Wish &wish, const QString &caption);
    QList<qint64> selectedIds() const;
    void showStatus();

    Connection m_connection;
    std::unique_ptr<LookupSettings> m_settings;
    IsbnLookup *m_lookup = nullptr;
    WishListModel *m_model = nullptr;
    QLineEdit *m_lookupIsbn = nullptr;
    QPushButton *m_lookupButton = nullptr;
    QTableView *m_list = nullptr;
    QLabel *m_status = nullptr;
    bool m_shownBefore = false;
};

void registerWishListWindow();

} // namespace hondana
