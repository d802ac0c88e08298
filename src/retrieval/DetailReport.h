#pragma once

#include "retrieval/ReportPagination.h"
#include "retrieval/ReportPrinting.h"
#include "retrieval/ReportRows.h"
#include "widgets/WindowNames.h"

#include <QPrinter>
#include <QWidget>

class QLabel;
class QPrintPreviewWidget;
class QSpinBox;
class QToolBar;

namespace hondana {

// The detail report: the catalogue as a ruled table, one line per book, in a preview from which
// the user prints or saves a PDF. One instance for the process; every showing reads the
// catalogue afresh. The preview holds a handful of pages at a time and paints the next ones when
// the user goes there, so a catalogue of any size opens at once.
class DetailReport : public QWidget {
    Q_OBJECT
public:
    static inline const QString Name = windows::Report;
    static inline const QString Caption = QStringLiteral("蔵書明細");
    // How many pages the preview paints at a time.
    static constexpr int PreviewPages = 10;

    explicit DetailReport(QWidget *parent = nullptr);
    ~DetailReport() override;

    // Showing reads the rows; when they cannot be read the user is told and the window stays
    // hidden.
    void setVisible(bool visible) override;

    int pageCount() const { return m_pages.pageCount(); }
    // The page the preview stands on, 1-based.
    int currentPage() const;
    void showPage(int page);
    // Saves the whole report as a PDF file, telling the user when it fails. False when it
    // failed or the user stopped it.
    bool saveAsPdf(const QString &path);

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    QToolBar *buildToolBar();
    bool readRows();
    void paintPreview(QPrinter *printer);
    void repaintPreview();
    void followPreview();
    void showPageControls();
    void printReport();
    void choosePdf();
    bool printFromCatalogue(const QString &label,
                            const std::function<bool(const Progress &)> &work);

    QPrinter m_printer;
    ReportRows m_rows;
    report::ReportPagination m_pages{0, 0};
    // The first page of those the preview holds.
    int m_firstPreviewPage = 1;
    QPrintPreviewWidget *m_preview = nullptr;
    QSpinBox *m_page = nullptr;
    QLabel *m_pageTotal = nullptr;
};

// Registers the report with the window registry under its name.
void registerReport();

} // namespace hondana
