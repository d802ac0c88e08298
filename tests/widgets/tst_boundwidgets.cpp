#include "register/MEISAI.h"
#include "support/DataFolder.h"
#include "support/MessageRecorder.h"
#include "support/TestSql.h"
#include "widgets/BoundTextBox.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"
#include "widgets/Twips.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using namespace hondana;

namespace {

const QString Link = QStringLiteral("FILE NAME=Karobu.udl");
const QString Authors = QStringLiteral("select 著者NO,著者名,国 from CHOSHA Order by 著者NO");

// A catalogue with two authors and three books, and a small form bound to it the way the
// register binds its fields.
struct Form {
    test::DataFolder folder;
    test::MessageRecorder messages;
    QWidget window;
    DataSource *primary = new DataSource(&window);
    BoundTextBox *title = new BoundTextBox(&window);
    BoundTextBox *price = new BoundTextBox(&window);

    Form() {
        folder.copyShipped("TOSHOINI.MDB", "TOSHO.MDB");
        test::SqlFile("TOSHO.MDB")
            .exec("INSERT INTO CHOSHA (著者NO, 著者名, 国) VALUES (1, '夏目漱石', '日本'), "
                  "(40000, '森鴎外', '日本');"
                  "INSERT INTO BOOK (SEQNO, 題名, 著者NO, 価格, 発行日) VALUES "
                  "(1, 'こころ', 1, 1500, '2024-04-01'), (2, '舞姫', 40000, NULL, NULL), "
                  "(3, '雁', 99999, 0, '1899-12-30')");
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(title);
        layout->addWidget(price);
        primary->setObjectName(DataSource::PrimaryName);
        title->bind(primary, "題名");
        price->bind(primary, "価格");
        price->setDisplayFormat("#,##0");
        primary->setConnectionString(Link);
        primary->setRecordSource(MEISAI::RecordSource);
    }
};

} // namespace

class TestBoundWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void modelOverATable();
    void gridColumnsAsData();
};

void TestBoundWidgets::modelOverATable() {
    Form form;
    DataSource source;
    source.setObjectName(DataSource::PrimaryName);
    source.setConnectionString(Link);
    source.setRecordSource(Authors);
    RecordSetModel model(&source.recordSet());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(source.refresh());
    model.setColumns({{"著者NO", {}, 0, "#,##0"}, {"著者名"}, {"国"}});
    QCOMPARE(model.rowCount(), 3); // two authors and the empty new row
    QCOMPARE(model.data(model.index(1, 0)).toString(), QString("40,000"));
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QString("*"));

    // A value the column cannot take goes through the error event; the cell keeps its value.
    QVERIFY(!model.setData(model.index(1, 0), "abc"));
    QCOMPARE(form.messages.texts.filter(DataSource::ErrorPrefix).size(), 1);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QString("40,000"));
    QVERIFY(!model.setData(model.index(2, 0), "")); // nothing typed into the new row
    QCOMPARE(model.rowCount(), 3);

    // Deleting and a filter keep the tester content.
    source.recordSet().moveTo(1);
    source.recordSet().deleteCurrent();
    QCOMPARE(model.rowCount(), 2);
    source.recordSet().setFilter("著者名 LIKE '夏*'");
    QCOMPARE(model.rowCount(), 1);

    // A read-only source has no new row and no editable cells.
    source.setRecordSource("TQ1");
    QVERIFY(source.refresh());
    QCOMPARE(model.newRowIndex(), -1);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
}

// A grid described by its columns: caption, width, display format, hidden, locked; and a
// read-only grid, which neither edits nor deletes.
void TestBoundWidgets::gridColumnsAsData() {
    Form form;
    QVERIFY(form.primary->refresh());
    DataGrid grid;
    grid.bind(form.primary, {{"題名", "書名", 1440, {}, false, true},
                             {"発行日", {}, 0, "yyyy/m/d"},
                             {"価格", {}, 0, "#,##0", true}});
    RecordSetModel *model = grid.recordModel();
    QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QString("書名"));
    QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QString("発行日"));
    QCOMPARE(grid.columnWidth(0), twips::toPixels(1440));
    QVERIFY(grid.isColumnHidden(2) && !grid.isColumnHidden(1));
    QCOMPARE(model->index(0, 1).data().toString(), QString("2024/4/1"));
    QCOMPARE(model->index(2, 1).data().toString(), QString("1899/12/30"));
    QVERIFY(!(model->flags(model->index(0, 0)) & Qt::ItemIsEditable)); // locked
    QVERIFY(!model->setData(model->index(0, 0), "改題"));
    QVERIFY(model->flags(model->index(0, 1)) & Qt::ItemIsEditable);

    QSignalSpy deletes(&grid, &DataGrid::deleteRowRequested);
    grid.setCurrentIndex(model->index(1, 1));
    QTest::keyClick(&grid, Qt::Key_Delete);
    QCOMPARE(deletes.count(), 1);
    grid.setReadOnly(true);
    QTest::keyClick(&grid, Qt::Key_Delete);
    QCOMPARE(deletes.count(), 1);
    QCOMPARE(model->rowCount(), 3); // no new row
    QVERIFY(!(model->flags(model->index(0, 1)) & Qt::ItemIsEditable));

    // A set no data source owns (the child rows of a grouped list).
    RecordSet children;
    children.open(form.primary->connection(), Authors);
    grid.bind(&children);
    QCOMPARE(grid.recordModel()->rowCount(), 2);
    QCOMPARE(grid.recordModel()->index(1, 1).data().toString(), QString("森鴎外"));
}

QTEST_MAIN(TestBoundWidgets)
#include "tst_boundwidgets.moc"
