#pragma once

#include "masters/MasterDescription.h"
#include "widgets/RegisterSubWindow.h"

class QLabel;
class QPushButton;

namespace hondana {

class DataSource;
class DataGrid;

// The grid editor of one master list (authors, publishers, categories or sizes), opened from
// the register beside itself. It is one class for all four; a MasterDescription says what
// differs. The register set the sub-window flag before showing it; closing gives it back.
class MasterEditor : public RegisterSubWindow {
    Q_OBJECT
public:
    explicit MasterEditor(const MasterDescription &description, QWidget *parent = nullptr);
    ~MasterEditor() override;

    const MasterDescription &description() const { return m_description; }
    DataSource *dataSource() const { return m_data; }
    DataGrid *grid() const { return m_grid; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool prepareToClose() override;

private:
    void buildGrid();
    void buildButtons();
    void fitGridHeight();
    void commitOpenCell();
    void addRow();
    void saveAll();
    void deleteRow();

    MasterDescription m_description;
    DataSource *m_data = nullptr;
    QWidget *m_gridArea = nullptr;
    QLabel *m_gridCaption = nullptr;
    DataGrid *m_grid = nullptr;
    QWidget *m_buttons = nullptr;
};

// Registers the four editors, so the register's menu items can open them.
void registerMasterEditors();

} // namespace hondana
