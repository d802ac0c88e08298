#include "register/BookRegister.h"
#include "support/DataFolder.h"
#include "support/MessageRecorder.h"
#include "support/TestSql.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using namespace hondana;

class TestBoundWidgets : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // A grid over the register's books, described by its columns (caption, width, display
    // format, hidden, locked); a read-only grid neither edits nor deletes.
    void gridOverARecordSet() {
        test::DataFolder folder;
        test::MessageRecorder messages;
        folder.copyShipped("TOSHOINI.MDB", "TOSHO.MDB");
        test::SqlFile("TOSHO.MDB")
            .exec("INSERT INTO BOOK (SEQNO, 題名, 著者NO, 価格, 発行日) VALUES "
                  "(1, 'こころ', 1, 1500, '2024-04-01'), (2, '舞姫', 2, NULL, NULL), "
                  "(3, '雁', 3, 0, '1899-12-30')");
        DataSource books(DataSource::Role::Primary, "datPrimaryRS", "FILE NAME=Karobu.udl",
                         BookRegister::RecordSource, nullptr);
        DataGrid grid;
        QVERIFY(books.refresh());
        grid.bind(&books, {{"題名", "書名", 1440, {}, false, true},
                           {"発行日", {}, 0, "yyyy/m/d"},
                           {"価格", {}, 0, "#,##0", true},
                           {"SEQNO"}});
        RecordSetModel *model = grid.recordModel();
        QAbstractItemModelTester tester(model,
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("書名"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("発行日"));
        QVERIFY(grid.isColumnHidden(2) && !grid.isColumnHidden(1));
        QCOMPARE(model->index(0, 1).data().toString(), QString("2024/4/1"));
        QCOMPARE(model->index(0, 2).data().toString(), QString("1,500"));
        QVERIFY(!model->setData(model->index(0, 0), "改題")); // locked
        QCOMPARE(model->rowCount(), 4);                       // three books and the empty new row
        QVERIFY(!model->setData(model->index(3, 3), ""));     // nothing typed into the new row
        QCOMPARE(model->rowCount(), 4);
        QVERIFY(model->setData(model->index(1, 1), "2024/2/3"));
        books.recordSet().update();
        QCOMPARE(model->index(1, 1).data().toString(), QString("2024/2/3"));

        // Deleting (舞姫) and a filter keep the tester content.
        books.recordSet().deleteCurrent();
        QCOMPARE(model->rowCount(), 3);
        books.recordSet().setFilter("題名 LIKE '雁*'");
        QCOMPARE(model->rowCount(), 2);

        QSignalSpy deletes(&grid, &DataGrid::deleteRowRequested);
        grid.setCurrentIndex(model->index(0, 1));
        QTest::keyClick(&grid, Qt::Key_Delete);
        grid.setReadOnly(true);
        QTest::keyClick(&grid, Qt::Key_Delete);
        QCOMPARE(deletes.count(), 1);
        QCOMPARE(model->rowCount(), 1); // no new row
        QVERIFY(!(model->flags(model->index(0, 1)) & Qt::ItemIsEditable));

        // A set that cannot be written (a stored query) has no editable cell in any grid.
        grid.setReadOnly(false);
        books.setRecordSource("TQ1");
        QVERIFY(books.refresh());
        grid.bind(&books);
        QVERIFY(!(grid.recordModel()->flags(grid.recordModel()->index(0, 0)) & Qt::ItemIsEditable));
    }
};

QTEST_MAIN(TestBoundWidgets)
#include "tst_boundwidgets.moc"
