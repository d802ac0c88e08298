#include "app/ApplicationSetup.h"
#include "base/Failure.h"
#include "core/AppState.h"
#include "retrieval/DetailReport.h"
#include "retrieval/ReportLayout.h"
#include "retrieval/ReportPagination.h"
#include "retrieval/ReportPainter.h"
#include "retrieval/ReportPrinting.h"
#include "support/DataFolder.h"
#include "support/DataRows.h"
#include "support/MessageRecorder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QImage>
#include <QPainter>
#include <QPrintPreviewWidget>
#include <QProcess>
#include <QSpinBox>
#include <QtTest>

using namespace hondana;
using report::ReportPagination;
using namespace hondana::test;

namespace {

QString run(const QString &program, const QStringList &arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// The text of each page, in order.
QStringList pdfPages(const QString &path) {
    QStringList pages = run("pdftotext", {path, "-"}).split(u'\f');
    pages.removeLast(); // what follows the last page's form feed
    return pages;
}

void verifyPageFrame(const QString &text, int page) {
    for (const char *fixed : {"本棚帖・明細一覧", "題名", "ｼﾘｰｽﾞ", "著者名", "発行所", "分野",
                              "請求NO", "管理番号1", "管理番号2"})
        QVERIFY2(text.contains(QString::fromUtf8(fixed)), fixed);
    QVERIFY(QRegularExpression(QString("ページ\\s+%1\\s").arg(page)).match(text).hasMatch());
}

QString bookTitle(int book) {
    return QString("本%1").arg(book, 4, 10, QLatin1Char('0'));
}

// A catalogue of `count` books by one author, titled so that their order is known; every
// third book has no series, publisher, category or numbers.
void addBooks(const test::SqlFile &catalogue, int count) {
    catalogue.exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (1, '夏目漱石');"
                   "INSERT INTO HAKKOU (発行所NO, 発行所) VALUES (1, '岩波書店');"
                   "INSERT INTO BUNYA (分野NO, 分野名) VALUES (1, '小説')");
    catalogue.exec(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
        QString::number(count) +
        ") INSERT INTO BOOK (SEQNO, 題名, 著者NO, ｼﾘｰｽﾞ, 発行所NO, 分野NO, 請求番号, "
        "管理番号1, 管理番号2) SELECT 1, printf('本%04d', i), 1, iif(i % 3, '上', NULL), "
        "iif(i % 3, 1, NULL), iif(i % 3, 1, NULL), iif(i % 3, printf('C%04d', i), NULL), "
        "iif(i % 3, printf('K%04d', i), NULL), iif(i % 3, printf('M%04d', i), NULL) "
        "FROM n WHERE i <= " +
        QString::number(count));
}

} // namespace

class ReportTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::DataFolder> m_folder;
    std::unique_ptr<test::SqlFile> m_catalogue;
    std::unique_ptr<DetailReport> m_report;

    QString showReport(int books) {
        addBooks(*m_catalogue, books);
        m_report->show();
        const QString pdf = m_folder->filePath("蔵書明細.pdf");
        if (!m_report->saveAsPdf(pdf))
            qFatal("no PDF");
        return pdf;
    }

private Q_SLOTS:
    void initTestCase() { installFontSubstitutions(); }

    void init() {
        m_folder = std::make_unique<test::DataFolder>();
        m_folder->copyShipped("TOSHOINI.MDB", "TOSHO.MDB");
        AppState::instance().reset();
        m_catalogue = std::make_unique<test::SqlFile>(m_folder->filePath("TOSHO.MDB"));
        m_report = std::make_unique<DetailReport>();
    }

    void cleanup() {
        m_report.reset();
        m_catalogue.reset();
        m_folder.reset();
    }

    void pagesFollowTheLayout_data() {
        columns<int, int, int, int, int>({"rows", "height", "perPage", "pages", "lastCount"});
        // 1144 twips of headings, then rows of 577 twips.
        row("no rows still one page", 0, 10000, 15, 1, 0);
        row("page exactly full", 30, 10000, 15, 2, 15);
        row("one row over", 31, 10000, 15, 3, 1);
        row("row just fits", 4, 1144 + 2 * 577, 2, 2, 2);
        row("row just misses", 4, 1144 + 2 * 577 - 1, 1, 4, 1);
        row("page too short for a row", 3, 500, 1, 3, 1);
    }

    void pagesFollowTheLayout() {
        const ReportPagination pages(cell<int>("rows"), cell<int>("height"));
        QTEST(pages.rowsPerPage(), "perPage");
        QTEST(pages.pageCount(), "pages");
        QTEST(pages.rowsOn(pages.pageCount()).count, "lastCount");
        QCOMPARE(pages.rowsOn(0).count, 0);
        QCOMPARE(pages.rowsOn(pages.pageCount() + 1).count, 0);
        int printed = 0;
        for (int page = 1; page <= pages.pageCount(); ++page) {
            QCOMPARE(pages.rowsOn(page).first, printed);
            printed += pages.rowsOn(page).count;
        }
        QTEST(printed, "rows");
    }

    // Every page carries title, page number and headings; each row falls on one page, books
    // without their optional fields included, and the fonts travel with the file.
    void pdfHoldsEveryPage() {
        const QString pdf = showReport(40);
        const QStringList pages = pdfPages(pdf);
        QCOMPARE(pages.size(), m_report->pageCount());
        QVERIFY(pages.size() >= 3);
        for (int page = 1; page <= pages.size(); ++page)
            verifyPageFrame(pages[page - 1], page);
        const int perPage = int(pages[0].count(QRegularExpression("本\\d{4}")));
        for (const QString &shown : QStringList{bookTitle(1), "夏目漱石", "岩波書店", "K0001",
                                                bookTitle(3), bookTitle(perPage)})
            QVERIFY2(pages[0].contains(shown), qPrintable(shown));
        QVERIFY(pages[1].contains(bookTitle(perPage + 1)));
        QVERIFY(pages.last().contains(bookTitle(40)));
        // Below the two heading lines, one line per font: name, kind, encoding, embedded, ...
        const QStringList fonts = run("pdffonts", {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
        QVERIFY(!fonts.isEmpty());
        for (const QString &font : fonts) {
            const QStringList fields = font.split(u' ', Qt::SkipEmptyParts);
            QVERIFY2(fields.first().startsWith("IPA"), qPrintable(font));
            QVERIFY2(fields.at(fields.size() - 5) == "yes", qPrintable(font));
        }
    }

    // An empty catalogue still gives a page of headings; a book added while the report was
    // hidden is there when it is shown again.
    void everyShowingReadsTheCatalogueAgain() {
        const QStringList pages = pdfPages(showReport(0));
        QCOMPARE(pages.size(), 1);
        verifyPageFrame(pages[0], 1);
        m_report->close();
        m_catalogue->exec("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
                          "WHERE i < 40) INSERT INTO BOOK (題名) SELECT '本' || i FROM n");
        m_report->show();
        QVERIFY(m_report->pageCount() > 1);
    }

    // The preview paints only the pages around the one shown, wherever the user goes. A screen
    // reader finds every control by its caption, also those the tool bar has no room for.
    void previewHoldsFewPagesAndNamesItsControls() {
        showReport(400);
        QVERIFY(m_report->pageCount() > 2 * DetailReport::PreviewPages);
        auto *preview = m_report->findChild<QPrintPreviewWidget *>();
        for (int page : {1, DetailReport::PreviewPages + 2, m_report->pageCount(), 2}) {
            m_report->showPage(page);
            QCOMPARE(m_report->currentPage(), page);
            QVERIFY(preview->pageCount() <= DetailReport::PreviewPages);
        }
        m_report->resize(200, m_report->height());
        int named = 0;
        for (QWidget *control : m_report->findChildren<QWidget *>()) {
            if (!qobject_cast<QAbstractButton *>(control) && !qobject_cast<QSpinBox *>(control))
                continue;
            QVERIFY2(
                !QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty(),
                qPrintable(control->objectName()));
            ++named;
        }
        QVERIFY(named >= 12);
    }

    // Rows come a block at a time; each row is found again across the blocks' edges, and the
    // rows are the catalogue as it was when read: books saved since then move no row across a
    // block's edge.
    void rowsReadAcrossBlocksInOneState() {
        addBooks(*m_catalogue, ReportRows::BlockRows + 100);
        ReportRows rows;
        rows.read(AppState::instance().mainConnectionString);
        QCOMPARE(rows.count(), ReportRows::BlockRows + 100);
        m_catalogue->exec("INSERT INTO BOOK (題名, 著者NO) VALUES ('本0000', 1)");
        m_catalogue->exec("DELETE FROM BOOK WHERE 題名 = '本2010'");
        for (int row : {0, ReportRows::BlockRows, ReportRows::BlockRows - 1, 5,
                        ReportRows::BlockRows + 9, ReportRows::BlockRows + 99})
            QCOMPARE(rows.text(row, 0), bookTitle(row + 1));
        QCOMPARE(rows.text(rows.count(), 0), QString());
    }

    // A PDF goes straight into a device; a folder is refused. A save that cannot write or is
    // stopped leaves an earlier file of that name as it was.
    void savePdfWhereverItGoes() {
        addBooks(*m_catalogue, 100);
        ReportRows rows;
        rows.read(AppState::instance().mainConnectionString);
        QVERIFY(report::savePdf("/dev/null", rows));
        QVERIFY(!QFileInfo("/dev/null").isFile());
        QVERIFY_THROWS_EXCEPTION(Failure, report::savePdf(m_folder->path(), rows));
        const QDir folder(m_folder->filePath("出力"));
        const QString path = folder.filePath("a.pdf");
        const Progress stopAfterOnePage([](qint64 done, qint64) { return done < 1; });
        QVERIFY_THROWS_EXCEPTION(Failure, report::savePdf(path, rows, stopAfterOnePage));
        QVERIFY(!folder.exists());
        QVERIFY(folder.mkpath("."));
        test::writeFile(path, "earlier");
        QVERIFY(!report::savePdf(path, rows, stopAfterOnePage));
        QCOMPARE(test::contents(path), QByteArray("earlier"));
        QCOMPARE(folder.entryList(QDir::Files), QStringList{"a.pdf"});
    }

    void unreadableCatalogueIsReportedAndNothingShown() {
        test::MessageRecorder messages;
        m_catalogue.reset();
        QVERIFY(QFile::remove(m_folder->filePath("TOSHO.MDB")));
        m_report->show();
        QVERIFY(!m_report->isVisible());
        QCOMPARE(messages.texts.size(), 1);
        QVERIFY(!QFile::exists(m_folder->filePath("TOSHO.MDB")));
    }

    // On a page at printer resolution, a title too long for its cell stops at the cell's edge.
    void longTextIsClippedToItsCell() {
        m_catalogue->exec(
            QString("INSERT INTO BOOK (題名) VALUES ('%1')").arg(QString(25, QChar(u'長'))));
        ReportRows rows;
        rows.read(AppState::instance().mainConnectionString);
        QImage image(3300, 2400, QImage::Format_RGB32);
        image.setDotsPerMeterX(11811); // 300 dpi
        image.setDotsPerMeterY(11811);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            ReportPainter(rows, ReportPagination(rows.count(), 10000))
                .paintPage(painter, 1, report::LayoutWidth);
        }
        const auto px = [](int twips) { return twips * 300 / 1440; };
        const QRect title = report::detailFields()[0].box;
        const QRect series = report::detailFields()[1].box;
        const int gapX = px((title.right() + series.left()) / 2 + 20);
        const int textTop = report::PageHeaderHeight + title.top();
        for (int y = px(textTop); y < px(textTop + 300); ++y)
            QVERIFY2(qGray(image.pixel(gapX, y)) > 200, qPrintable(QString::number(y)));
    }
};

QTEST_MAIN(ReportTest)
#include "tst_report.moc"
