#include "retrieval/ReportPrinting.h"

#include "base/Failure.h"
#include "base/SafeFile.h"
#include "retrieval/ReportPagination.h"
#include "retrieval/ReportPainter.h"
#include "retrieval/ReportRows.h"

#include <QFile>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>

#include <algorithm>

namespace hondana::report {

namespace {

int toTwips(double inches) {
    return int(inches * 1440);
}

QRectF printableInches(const QPrinter &printer) {
    return printer.pageLayout().paintRect(QPageLayout::Inch);
}

} // namespace

void setUpPage(QPrinter &printer) {
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape,
                                      QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter));
    printer.setDocName(QStringLiteral("蔵書明細"));
}

ReportPagination paginate(const QPrinter &printer, const ReportRows &rows) {
    return ReportPagination(rows.count(), toTwips(printableInches(printer).height()));
}

bool print(QPrinter &printer, const ReportRows &rows, int from, int to, const Progress &progress) {
    const ReportPagination pages = paginate(printer, rows);
    from = std::max(1, from);
    to = std::min(pages.pageCount(), to);
    const ReportPainter painter(rows, pages);
    const int width = toTwips(printableInches(printer).width());
    const Failure failed(QStringLiteral("印刷に失敗しました。"));
    QPainter device;
    if (!device.begin(&printer))
        throw Failure(QStringLiteral("印刷を始められません。"));
    for (int page = from; page <= to; ++page) {
        if (page > from && !printer.newPage())
            throw failed;
        painter.paintPage(device, page, width);
        if (!progress.report(page - from + 1, to - from + 1)) {
            printer.abort();
            device.end();
            return false;
        }
    }
    device.end();
    if (printer.printerState() == QPrinter::Error)
        throw failed;
    return true;
}

namespace {

// Prints the whole report as a PDF into `fileName`; false when stopped.
bool printPdf(const QString &fileName, const ReportRows &rows, const Progress &progress) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    setUpPage(printer);
    return print(printer, rows, 1, paginate(printer, rows).pageCount(), progress);
}

// A regular file is printed beside its place and renamed into it when complete.
bool replacePdf(const QString &path, const ReportRows &rows, const Progress &progress) {
    {
        // Says plainly, before any page is painted, when the folder takes no file.
        safefile::ReplacingFileWriter probe(path);
    }
    const QString partial = safefile::ReplacingFileWriter::temporaryPath(path);
    bool complete = false;
    try {
        complete = printPdf(partial, rows, progress);
    } catch (const Failure &) {
        QFile::remove(partial);
        throw;
    }
    if (!complete) {
        QFile::remove(partial);
        return false;
    }
    safefile::renameReplacing(partial, path);
    return true;
}

// A device or FIFO gets the bytes of a complete PDF, and every write to it is checked.
bool streamPdf(const QString &path, const ReportRows &rows, const Progress &progress) {
    QTemporaryDir folder;
    if (!folder.isValid())
        throw Failure(QStringLiteral("一時フォルダーを作れません。"));
    const QString printed = folder.filePath(QStringLiteral("report.pdf"));
    if (!printPdf(printed, rows, progress))
        return false;
    QFile pdf(printed);
    if (!pdf.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("一時ファイルを読めません。"));
    safefile::OutputFile out(path);
    while (!pdf.atEnd()) {
        const QByteArray chunk = pdf.read(1 << 16);
        out.write(chunk.constData(), chunk.size());
    }
    out.commit();
    return true;
}

} // namespace

bool savePdf(const QString &path, const ReportRows &rows, const Progress &progress) {
    try {
        const safefile::OutputTarget target = safefile::outputTarget(path);
        return target.stream ? streamPdf(target.path, rows, progress)
                             : replacePdf(target.path, rows, progress);
    } catch (const Failure &failure) {
        throw Failure(QStringLiteral("PDF ファイル %1 を保存できません。\n\n%2")
                          .arg(path, failure.message()));
    }
}

} // namespace hondana::report
