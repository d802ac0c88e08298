#pragma once

#include "retrieval/QueryScreenDescription.h"

#include "widgets/RegisterSubWindow.h"

#include <QList>

class QLineEdit;
class QPushButton;

namespace hondana {

class DataSource;
class DataGrid;

// A screen over one stored query with a read-only grid: the title, author-name and number
// searches, which narrow the grid by what is typed, and the unread list, which shows the query
// as it is. One class for all four; a QueryScreenDescription says what differs.
class QueryScreen : public RegisterSubWindow {
    Q_OBJECT
public:
    explicit QueryScreen(const QueryScreenDescription &description, QWidget *parent = nullptr);
    ~QueryScreen() override;

    const QueryScreenDescription &description() const { return m_description; }
    DataSource *dataSource() const { return m_data; }
    DataGrid *grid() const { return m_grid; }

    // "抽出": installs the filter for what is typed, or beeps and says what is missing.
    void search();

private:
    void buildLabels();
    void buildInputs();
    void buildGrid();
    void widenDateColumns();
    void buildButtons();
    void orderTabs();

    QueryScreenDescription m_description;
    DataSource *m_data = nullptr;
    DataGrid *m_grid = nullptr;
    QList<QLineEdit *> m_inputs;
    QList<QPair<int, QWidget *>> m_tabOrder;
};

// Registers the three searches and the unread list, so the register's menu items open them.
void registerQueryScreens();

} // namespace hondana
