#include "retrieval/MEIPR.h"

#include "base/Failure.h"
#include "core/AppState.h"
#include "retrieval/ReportPainter.h"
#include "widgets/BusyCursor.h"
#include "widgets/MessageService.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPainter>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QProgressDialog>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace hondana {

MEIPR::MEIPR(QWidget *parent) : QWidget(parent, Qt::Window), m_printer(QPrinter::HighResolution) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setGeometry(twips::rect(210, 345, 14175, 4995));
    report::setUpPage(m_printer);

    m_preview = new QPrintPreviewWidget(&m_printer, this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAccessibleName(Caption);
    m_preview->fitToWidth();
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &MEIPR::paintPreview);
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, &MEIPR::followPreview);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolBar());
    layout->addWidget(m_preview, 1);
}

MEIPR::~MEIPR() = default;

QToolBar *MEIPR::buildToolBar() {
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setAccessibleName(Caption);
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    const auto add = [&](const char *name, const QString &text, QStyle::StandardPixmap icon,
                         auto handler) {
        QAction *action = bar->addAction(style()->standardIcon(icon), text);
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    add("cmdPrint", QStringLiteral("印刷..."), QStyle::SP_DialogSaveButton, &MEIPR::printReport)
        ->setShortcut(QKeySequence::Print);
    add("cmdPdf", QStringLiteral("PDF に保存..."), QStyle::SP_DialogSaveButton, &MEIPR::choosePdf);
    bar->addSeparator();
    add("cmdFirstPage", QStringLiteral("最初のページ"), QStyle::SP_MediaSkipBackward,
        [this] { showPage(1); });
    add("cmdPreviousPage", QStringLiteral("前のページ"), QStyle::SP_MediaSeekBackward,
        [this] { showPage(currentPage() - 1); });
    m_page = new QSpinBox(bar);
    m_page->setObjectName(QStringLiteral("page"));
    m_page->setAccessibleName(QStringLiteral("ページ"));
    m_page->setKeyboardTracking(false);
    connect(m_page, &QSpinBox::valueChanged, this, &MEIPR::showPage);
    bar->addWidget(m_page);
    m_pageTotal = new QLabel(bar);
    m_pageTotal->setObjectName(QStringLiteral("pageTotal"));
    m_pageTotal->setContentsMargins(4, 0, 4, 0);
    bar->addWidget(m_pageTotal);
    add("cmdNextPage", QStringLiteral("次のページ"), QStyle::SP_MediaSeekForward,
        [this] { showPage(currentPage() + 1); });
    add("cmdLastPage", QStringLiteral("最後のページ"), QStyle::SP_MediaSkipForward,
        [this] { showPage(pageCount()); });
    bar->addSeparator();
    add("cmdZoomOut", QStringLiteral("縮小"), QStyle::SP_ArrowDown,
        [this] { m_preview->zoomOut(); });
    add("cmdZoomIn", QStringLiteral("拡大"), QStyle::SP_ArrowUp, [this] { m_preview->zoomIn(); });
    add("cmdFitWidth", QStringLiteral("幅に合わせる"), QStyle::SP_TitleBarMaxButton,
        [this] { m_preview->fitToWidth(); });
    add("cmdFitPage", QStringLiteral("ページ全体"), QStyle::SP_TitleBarNormalButton,
        [this] { m_preview->fitInView(); });
    bar->addSeparator();
    add("cmdClose", QStringLiteral("閉じる"), QStyle::SP_DialogCloseButton, &QWidget::close);
    return bar;
}

void MEIPR::setVisible(bool visible) {
    if (visible && !readRows())
        return;
    QWidget::setVisible(visible);
}

bool MEIPR::readRows() {
    BusyCursor busy;
    try {
        m_rows.read(AppState::instance().mainConnectionString);
    } catch (const Failure &failure) {
        busy.release();
        MessageService::instance().notice(failure.message(), Caption,
                                          MessageService::Icon::Critical);
        return false;
    }
    m_firstPreviewPage = 1;
    repaintPreview();
    showPage(1);
    return true;
}

void MEIPR::repaintPreview() {
    m_pages = report::paginate(m_printer, m_rows);
    m_preview->updatePreview();
}

void MEIPR::paintPreview(QPrinter *printer) {
    const report::ReportPagination pages = report::paginate(*printer, m_rows);
    const ReportPainter painter(m_rows, pages);
    const int width = int(printer->pageLayout().paintRect(QPageLayout::Inch).width() * 1440);
    const int last = std::min(pages.pageCount(), m_firstPreviewPage + PreviewPages - 1);
    QPainter device(printer);
    for (int page = m_firstPreviewPage; page <= last; ++page) {
        if (page > m_firstPreviewPage)
            printer->newPage();
        painter.paintPage(device, page, width);
    }
}

int MEIPR::currentPage() const {
    return m_firstPreviewPage + m_preview->currentPage() - 1;
}

void MEIPR::showPage(int page) {
    page = std::clamp(page, 1, pageCount());
    const int first = (page - 1) / PreviewPages * PreviewPages + 1;
    if (first != m_firstPreviewPage) {
        BusyCursor busy;
        m_firstPreviewPage = first;
        m_preview->updatePreview();
    }
    m_preview->setCurrentPage(page - first + 1);
    showPageControls();
}

// The user scrolled the preview to another of the pages it holds.
void MEIPR::followPreview() {
    showPageControls();
}

void MEIPR::showPageControls() {
    const QSignalBlocker blocker(m_page);
    m_page->setRange(1, pageCount());
    m_page->setValue(currentPage());
    m_pageTotal->setText(QStringLiteral("/ %1").arg(pageCount()));
}

void MEIPR::printReport() {
    QPrintDialog dialog(&m_printer, this);
    dialog.setMinMax(1, pageCount());
    dialog.setOptions(QAbstractPrintDialog::PrintPageRange |
                      QAbstractPrintDialog::PrintCurrentPage | QAbstractPrintDialog::PrintToFile);
    if (dialog.exec() != QDialog::Accepted)
        return;
    int from = 1;
    int to = pageCount();
    if (m_printer.printRange() == QPrinter::PageRange) {
        from = m_printer.fromPage();
        to = m_printer.toPage();
    } else if (m_printer.printRange() == QPrinter::CurrentPage) {
        from = to = currentPage();
    }
    runWithProgress(QStringLiteral("印刷しています..."), [&](const report::Progress &progress) {
        return report::print(m_printer, m_rows, from, to, progress);
    });
    // The dialog may have changed the paper; the preview follows it.
    const int page = currentPage();
    repaintPreview();
    showPage(page);
}

void MEIPR::choosePdf() {
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("PDF に保存"),
        QDir::current().filePath(Caption + QStringLiteral(".pdf")), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    saveAsPdf(path);
}

bool MEIPR::saveAsPdf(const QString &path) {
    return runWithProgress(
        QStringLiteral("PDF を書き出しています..."),
        [&](const report::Progress &progress) { return report::savePdf(path, m_rows, progress); });
}

bool MEIPR::runWithProgress(const QString &label,
                            const std::function<bool(const report::Progress &)> &work) {
    BusyCursor busy;
    QProgressDialog dialog(label, QStringLiteral("中止"), 0, 1, this);
    dialog.setWindowTitle(Caption);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(1000);
    try {
        return work([&dialog](int done, int total) {
            dialog.setMaximum(total);
            dialog.setValue(done);
            return !dialog.wasCanceled();
        });
    } catch (const Failure &failure) {
        dialog.reset();
        busy.release();
        MessageService::instance().notice(failure.message(), Caption,
                                          MessageService::Icon::Critical);
        return false;
    }
}

void MEIPR::closeEvent(QCloseEvent *event) {
    m_rows.release();
    resetMousePointer();
    event->accept();
}

void registerReport() {
    WindowRegistry::instance().registerFactory(MEIPR::Name, [] { return new MEIPR; });
}

} // namespace hondana
