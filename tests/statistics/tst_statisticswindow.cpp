#include "register/BookRegister.h"
#include "register/RegisterFixture.h"
#include "statistics/StatisticsWindow.h"
#include "support/TestFiles.h"

#include <QAbstractButton>
#include <QChartView>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QTableWidget>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

class TestStatisticsWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Opened from the register's collection menu, the window shows the figures of the chosen
    // chart and year, and saves the chart as a picture; every control is named for assistive
    // technology, and Escape closes it.
    void opensShowsAndSaves() {
        RegisterFixture fixture;
        fixture.exec(u8("INSERT INTO BOOK (題名, 購入日, 価格, 読書ｽﾀﾝﾌﾟ) VALUES "
                        "('一', '2023-04-01', 1200, '未'), ('二', '2025-02-03', 800, '済'), "
                        "('三', '2025-02-28', 1000, '済'), ('四', NULL, 500, '未')"));
        BookRegister *books = fixture.openRegister();
        QVERIFY(books);
        choose(books, "TOUKEII");
        auto *window = qobject_cast<StatisticsWindow *>(
            RegisterFixture::visibleWindow(StatisticsWindow::Name));
        QVERIFY(window && QTest::qWaitForWindowExposed(window));

        auto *summary = control<QLabel>(window, "lblSummary");
        auto *table = control<QTableWidget>(window, "grdFigures");
        QCOMPARE(summary->text(), u8("合計 3 冊・3,000 円\n購入日のない本 1 冊（500 円）は"
                                     "このグラフに数えていません。"));
        QCOMPARE(table->rowCount(), 23); // 2023/04 to 2025/02
        QCOMPARE(table->item(22, 1)->text(), "2");

        auto *year = control<QComboBox>(window, "cboYear");
        QCOMPARE(year->count(), 3); // 全期間, 2025, 2023
        year->setCurrentIndex(year->findData(2025));
        QCOMPARE(table->rowCount(), 12);
        QCOMPARE(table->item(1, 2)->text(), "1,800");
        control<QComboBox>(window, "cboChart")->setCurrentIndex(7);
        QCOMPARE(table->item(5, 1)->text(), "1"); // the unread book without a date

        // Qt's own parts (scroll bars, headers, the combo boxes' lists) are named by Qt.
        int named = 0;
        for (QWidget *widget : window->findChildren<QWidget *>()) {
            if (widget->focusPolicy() == Qt::NoFocus || widget->objectName().isEmpty() ||
                widget->objectName().startsWith("qt_"))
                continue;
            QVERIFY2(!widget->accessibleName().isEmpty(), qPrintable(widget->objectName()));
            ++named;
        }
        QCOMPARE(named, 8); // choosers, chart, figures, totals, status line, buttons

        const QString path = fixture.folder.filePath(u8("未読.png"));
        QVERIFY(window->savePng(path));
        const QImage saved(path);
        QCOMPARE(saved.size(), control<QChartView>(window, "chartView")->grab().size());
        QVERIFY(!window->savePng(fixture.folder.path()));
        QCOMPARE(fixture.messages.texts.size(), 1);

        QPointer<QWidget> open(window);
        QTest::keyClick(window, Qt::Key_Escape);
        RegisterFixture::settle();
        QVERIFY(!open);
    }
};

QTEST_MAIN(TestStatisticsWindow)
#include "tst_statisticswindow.moc"
