#include "retrieval/DetailReport.h"

#include "base/Failure.h"
#include "core/AppState.h"
#include "widgets/BusyCursor.h"
#include "widgets/LongOperation.h"
#include "widgets/MessageService.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QSpinBox>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace hondana {

DetailReport::DetailReport(QWidget *parent)
    : QWidget(parent, Qt::Window), m_printer(QPrinter::HighResolution) {
    setObjectName(Name);
    setWindowTitle(Caption);
    setGeometry(twips::rect(210, 345, 14175, 4995));
    report::setUpPage(m_printer);

    m_preview = new QPrintPreviewWidget(&m_printer, this);
    m_preview->setObjectName(QStringLiteral("preview"));
    m_preview->setAccessibleName(Caption);
    m_preview->fitToWidth();
    connect(m_preview, &QPrintPreviewWidget::paintRequested, this, &DetailReport::paintPreview);
    connect(m_preview, &QPrintPreviewWidget::previewChanged, this, &DetailReport::followPreview);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(buildToolBar());
    layout->addWidget(m_preview, 1);
}

// The preview goes first: it works on the printer, which is gone before the children are.
DetailReport::~DetailReport() {
    delete m_preview;
}

// Page moves show icons only, so the bar fits the window; every button keeps its text as its
// accessible name and tool tip.
QToolBar *DetailReport::buildToolBar() {
    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("toolBar"));
    bar->setAccessibleName(Caption);
    const auto add = [&](const char *name, const QString &text, QStyle::StandardPixmap icon,
                         Qt::ToolButtonStyle look, auto handler) {
        QAction *action = bar->addAction(text);
        action->setObjectName(QString::fromLatin1(name));
        if (look != Qt::ToolButtonTextOnly)
            action->setIcon(style()->standardIcon(icon));
        static_cast<QToolButton *>(bar->widgetForAction(action))->setToolButtonStyle(look);
        connect(action, &QAction::triggered, this, handler);
        return action;
    };
    const auto command = [&](const char *name, const QString &text, QStyle::StandardPixmap icon,
                             auto handler) {
        return add(name, text, icon, Qt::ToolButtonTextBesideIcon, handler);
    };
    const auto move = [&](const char *name, const QString &text, QStyle::StandardPixmap icon,
                          auto handler) {
        return add(name, text, icon, Qt::ToolButtonIconOnly, handler);
    };
    const auto zoom = [&](const char *name, const QString &text, auto handler) {
        return add(name, text, {}, Qt::ToolButtonTextOnly, handler);
    };
    command("cmdPrint", QStringLiteral("印刷..."), QStyle::SP_DialogSaveButton,
            &DetailReport::printReport)
        ->setShortcut(QKeySequence::Print);
    command("cmdPdf", QStringLiteral("PDF に保存..."), QStyle::SP_DialogSaveButton,
            &DetailReport::choosePdf);
    bar->addSeparator();
    move("cmdFirstPage", QStringLiteral("最初のページ"), QStyle::SP_MediaSkipBackward,
         [this] { showPage(1); });
    move("cmdPreviousPage", QStringLiteral("前のページ"), QStyle::SP_MediaSeekBackward,
         [this] { showPage(currentPage() - 1); });
    m_page = new QSpinBox(bar);
    m_page->setObjectName(QStringLiteral("page"));
    m_page->setAccessibleName(QStringLiteral("ページ"));
    m_page->setKeyboardTracking(false);
    connect(m_page, &QSpinBox::valueChanged, this, &DetailReport::showPage);
    bar->addWidget(m_page);
    m_pageTotal = new QLabel(bar);
    m_pageTotal->setObjectName(QStringLiteral("pageTotal"));
    m_pageTotal->setContentsMargins(4, 0, 4, 0);
    bar->addWidget(m_pageTotal);
    move("cmdNextPage", QStringLiteral("次のページ"), QStyle::SP_MediaSeekForward,
         [this] { showPage(currentPage() + 1); });
    move("cmdLastPage", QStringLiteral("最後のページ"), QStyle::SP_MediaSkipForward,
         [this] { showPage(pageCount()); });
    bar->addSeparator();
    zoom("cmdZoomOut", QStringLiteral("縮小"), [this] { m_preview->zoomOut(); });
    zoom("cmdZoomIn", QStringLiteral("拡大"), [this] { m_preview->zoomIn(); });
    zoom("cmdFitWidth", QStringLiteral("幅に合わせる"), [this] { m_preview->fitToWidth(); });
    zoom("cmdFitPage", QStringLiteral("ページ全体"), [this] { m_preview->fitInView(); });
    bar->addSeparator();
    command("cmdClose", QStringLiteral("閉じる"), QStyle::SP_DialogCloseButton, &QWidget::close);
    // The button that shows what a narrow window cannot hold comes unnamed.
    if (auto *more = bar->findChild<QToolButton *>(QStringLiteral("qt_toolbar_ext_button")))
        more->setAccessibleName(QStringLiteral("その他のボタン"));
    return bar;
}

void DetailReport::setVisible(bool visible) {
    if (visible && !readRows())
        return;
    QWidget::setVisible(visible);
}

bool DetailReport::readRows() {
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

void DetailReport::repaintPreview() {
    m_pages = report::paginate(m_printer, m_rows);
    m_preview->updatePreview();
}

void DetailReport::paintPreview(QPrinter *printer) {
    try {
        report::print(*printer, m_rows, m_firstPreviewPage, m_firstPreviewPage + PreviewPages - 1);
    } catch (const Failure &failure) {
        resetMousePointer();
        MessageService::instance().notice(failure.message(), Caption,
                                          MessageService::Icon::Critical);
    }
}

int DetailReport::currentPage() const {
    return m_firstPreviewPage + m_preview->currentPage() - 1;
}

void DetailReport::showPage(int page) {
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
void DetailReport::followPreview() {
    showPageControls();
}

void DetailReport::showPageControls() {
    const QSignalBlocker blocker(m_page);
    m_page->setRange(1, pageCount());
    m_page->setValue(currentPage());
    m_pageTotal->setText(QStringLiteral("/ %1").arg(pageCount()));
}

void DetailReport::printReport() {
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
    printFromCatalogue(QStringLiteral("印刷しています..."), [&](const Progress &progress) {
        return report::print(m_printer, m_rows, from, to, progress);
    });
}

void DetailReport::choosePdf() {
    QString path = QFileDialog::getSaveFileName(
        this, QStringLiteral("PDF に保存"),
        QDir::current().filePath(Caption + QStringLiteral(".pdf")), QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    saveAsPdf(path);
}

bool DetailReport::saveAsPdf(const QString &path) {
    return printFromCatalogue(
        QStringLiteral("PDF を書き出しています..."),
        [&](const Progress &progress) { return report::savePdf(path, m_rows, progress); });
}

// Prints what the catalogue holds now, not what it held when the preview opened: the rows are
// read again, and the preview follows them (and the paper the print dialog may have changed).
// Other windows wait meanwhile, so no book changes half-way through the pages.
bool DetailReport::printFromCatalogue(const QString &label,
                                      const std::function<bool(const Progress &)> &work) {
    LongOperation operation(this, label, QStringLiteral("中止"));
    bool complete = false;
    try {
        m_rows.read(AppState::instance().mainConnectionString);
        complete = work(operation.progress());
    } catch (const Failure &failure) {
        operation.finish();
        MessageService::instance().notice(failure.message(), Caption,
                                          MessageService::Icon::Critical);
    }
    const int page = currentPage();
    repaintPreview();
    showPage(page);
    return complete;
}

void DetailReport::closeEvent(QCloseEvent *event) {
    m_rows.release();
    resetMousePointer();
    event->accept();
}

void registerReport() {
    WindowRegistry::instance().registerFactory(DetailReport::Name, [] { return new DetailReport; });
}

} // namespace hondana
