#pragma once

#include "intake/CatalogueImport.h"

#include <QWidget>

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

namespace hondana {

// Brings books in from another catalogue's file: the file is read, its format and encoding
// shown, where its columns go shown and changeable, and what importing would do reported before
// the user imports; the import runs off the window's thread.
class ImportWindow : public QWidget {
    Q_OBJECT

public:
    explicit ImportWindow(QWidget *parent = nullptr);
    ~ImportWindow() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void browse();
    void readFile();
    void showMapping();
    void targetChosen(int column, int target);
    void showReport();
    void importBooks();
    intake::ImportFile readChosenFile() const;
    Duplicates duplicates() const;

    QLineEdit *m_path;
    QComboBox *m_format;
    QComboBox *m_encoding;
    QTableWidget *m_mapping;
    QCheckBox *m_addLookAlikes;
    QPlainTextEdit *m_report;
    QPushButton *m_import;
    std::optional<intake::ImportFile> m_file;
    qsizetype m_toAdd = 0; // books the report shown says importing adds
    bool m_placed = false;
};

// Registers the window, so the register's collection menu finds it.
void registerImportWindow();

} // namespace hondana
