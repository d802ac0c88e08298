#pragma once

#include "retrieval/GroupedListDescription.h"

#include "widgets/RegisterSubWindow.h"

class QTableView;

namespace hondana {

class ChapterModel;
class DataNavigator;
class DataSource;
class ShapedRecordSet;

// A list of the catalogue by category, author or publisher: one parent row at a time in
// read-only fields, its books in the grid below, the navigator along the bottom. One class for
// all three; a GroupedListDescription says what differs. It stands in for the register, which
// hid itself and comes back when the list closes.
class GroupedList : public RegisterSubWindow {
    Q_OBJECT
public:
    static inline const QString ConnectionString = QStringLiteral(
        "PROVIDER=MSDataShape;Data PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=TOSHO.mdb;");

    explicit GroupedList(const GroupedListDescription &description, QWidget *parent = nullptr);
    ~GroupedList() override;

    const GroupedListDescription &description() const { return m_description; }
    DataSource *dataSource() const { return m_data; }
    DataNavigator *navigator() const { return m_navigator; }
    QTableView *grid() const { return m_grid; }
    ShapedRecordSet &records() const { return *m_records; }

    // "再表示(&R)": the database's current content, from the first parent row.
    void reread();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void buildParentFields();
    void buildGrid();
    void buildButtons();
    void load();
    void showNoPosition();

    GroupedListDescription m_description;
    DataSource *m_data = nullptr;
    DataNavigator *m_navigator = nullptr;
    ShapedRecordSet *m_records = nullptr;
    ChapterModel *m_chapter = nullptr;
    QTableView *m_grid = nullptr;
    QWidget *m_buttons = nullptr;
    bool m_loaded = false;
};

// Registers the three lists, so the register's menu items open them.
void registerGroupedLists();

} // namespace hondana
