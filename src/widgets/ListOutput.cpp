#include "widgets/ListOutput.h"

#include "base/Failure.h"
#include "base/SafeFile.h"
#include "maintenance/CatalogueExport.h"
#include "widgets/MessageService.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

namespace hondana {

namespace {

QString htmlTable(const TextList &list) {
    QString html = QStringLiteral("<h2>%1</h2><table border=\"1\" cellspacing=\"0\" width=\"100%\" "
                                  "cellpadding=\"4\"><tr>")
                       .arg(list.title.toHtmlEscaped());
    if (!list.note.isEmpty())
        html.insert(html.indexOf(QStringLiteral("<table")),
                    QStringLiteral("<p>%1</p>").arg(list.note.toHtmlEscaped()));
    for (const QString &column : list.columns)
        html += QStringLiteral("<th>%1</th>").arg(column.toHtmlEscaped());
    html += QStringLiteral("</tr>");
    for (const QStringList &row : list.rows) {
        html += QStringLiteral("<tr>");
        for (const QString &field : row)
            html += QStringLiteral("<td>%1</td>").arg(field.toHtmlEscaped());
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

} // namespace

void writeCsv(const TextList &list, const QString &path) {
    const QByteArray text = csvTable(list.columns, list.rows);
    safefile::OutputFile file(path);
    file.write(text.constData(), text.size());
    file.commit();
}

bool saveCsvChosen(QWidget *parent, const TextList &list) {
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("CSV に保存"),
                                                QDir::current().filePath(list.title + ".csv"),
                                                QStringLiteral("CSV (*.csv)"));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".csv");
    try {
        writeCsv(list, path);
        return true;
    } catch (const Failure &failure) {
        MessageService::instance().notice(failure.message(), list.title,
                                          MessageService::Icon::Critical);
        return false;
    }
}

void printWithPreview(QWidget *parent, const TextList &list) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(list.title);
    QTextDocument document;
    document.setHtml(htmlTable(list));
    QPrintPreviewDialog preview(&printer, parent);
    preview.setWindowTitle(list.title);
    QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                     [&document](QPrinter *target) { document.print(target); });
    preview.exec();
}

} // namespace hondana
