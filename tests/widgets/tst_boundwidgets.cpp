#include "base/FileNames.h"
#include "register/MEISAI.h"
#include "support/DataFolder.h"
#include "support/MessageRecorder.h"
#include "widgets/BoundTextBox.h"
#include "widgets/DataCombo.h"
#include "widgets/DataGrid.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/RecordSetModel.h"
#include "widgets/Twips.h"

#include <QAbstractItemModelTester>
#include <QSqlError>
#include <QSqlQuery>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>
#include <memory>

using namespace hondana;

namespace {

// The register's own record source.
const QString RegisterSql = hondana::MEISAI::RecordSource;
const QString Link = QStringLiteral("FILE NAME=Karobu.udl");

// A catalogue with two authors and three books, and a small form bound to it the way the
// register binds its fields.
struct Form {
    test::DataFolder folder;
    test::MessageRecorder messages;
    QWidget window;
    DataSource *primary = nullptr;
    DataNavigator *navigator = nullptr;
    DataSource *authors = nullptr;
    DataSource *stamps = nullptr;
    BoundTextBox *title = nullptr;
    BoundTextBox *price = nullptr;
    BoundTextBox *issued = nullptr;
    BoundTextArea *notes = nullptr;
    DataCombo *author = nullptr;
    DataCombo *stamp = nullptr;

    Form() {
        folder.copyShipped(files::CatalogueTemplate, files::Catalogue);
        exec("INSERT INTO CHOSHA (著者NO, 著者名, 国) VALUES (1, '夏目漱石', '日本'), "
             "(40000, '森鴎外', '日本')");
        exec("INSERT INTO BOOK (SEQNO, 題名, 著者NO, 価格, 発行日, 読書ｽﾀﾝﾌﾟ) VALUES "
             "(1, 'こころ', 1, 1500, '2024-04-01', '未  '), "
             "(2, '舞姫', 40000, NULL, NULL, '済'), "
             "(3, '雁', 99999, 0, '1899-12-30', NULL)");
        auto *layout = new QVBoxLayout(&window);
        primary = new DataSource(&window);
        primary->setObjectName(DataSource::PrimaryName);
        navigator = new DataNavigator(primary, &window);
        authors = lookup("Adodc1", "CHOSHA");
        stamps = lookup("Adodc5", "DSTMP");
        title = box("txtTitle", "題名");
        price = box("txtPrice", "価格");
        price->setDisplayFormat(QStringLiteral("#,##0"));
        price->setRightAligned(true);
        issued = box("txtIssued", "発行日");
        issued->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
        notes = new BoundTextArea(&window);
        notes->setObjectName("txtNotes");
        notes->bind(primary, "内容");
        author = new DataCombo(&window);
        author->setObjectName("DataCombo1");
        author->bind(primary, "著者NO");
        author->setRowSource(authors, "著者名", "著者NO");
        stamp = new DataCombo(&window);
        stamp->setObjectName("DataCombo5");
        stamp->bind(primary, "読書ｽﾀﾝﾌﾟ");
        stamp->setRowSource(stamps, "STMPID");
        for (QWidget *w : std::initializer_list<QWidget *>{title, price, issued, notes, author,
                                                           stamp, navigator})
            layout->addWidget(w);
        primary->setConnectionString(Link);
        primary->setRecordSource(RegisterSql);
    }

    DataSource *lookup(const char *name, const char *table) {
        auto *source = new DataSource(&window);
        source->setObjectName(QString::fromLatin1(name));
        source->setConnectionString(Link);
        source->setRecordSource(QString::fromUtf8(table));
        return source;
    }

    BoundTextBox *box(const char *name, const char *field) {
        auto *box = new BoundTextBox(&window);
        box->setObjectName(QString::fromLatin1(name));
        box->bind(primary, QString::fromUtf8(field));
        return box;
    }

    void open() {
        QVERIFY(authors->refresh());
        QVERIFY(stamps->refresh());
        QVERIFY(primary->refresh());
    }

    void exec(const char *sql) {
        const QString name = openDatabaseFile(files::resolve(files::Catalogue), "test");
        {
            QSqlQuery q(QSqlDatabase::database(name));
            if (!q.exec(QString::fromUtf8(sql)))
                qFatal("%s", qPrintable(q.lastError().text()));
        }
        closeDatabase(name);
    }

    QVariant stored(const QString &column, int seq) {
        QSqlQuery q(primary->connection().database());
        q.exec(QStringLiteral("SELECT %1 FROM BOOK WHERE SEQNO = %2").arg(column).arg(seq));
        return q.next() ? q.value(0) : QVariant();
    }

    void click(const char *button) {
        auto *b = navigator->findChild<QToolButton *>(QString::fromLatin1(button));
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    }

    // Typed the way a Japanese input method hands text over: as one committed string.
    static void type(QLineEdit *box, const QString &text) {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Backspace);
        QInputMethodEvent commit;
        commit.setCommitString(text);
        QApplication::sendEvent(box, &commit);
    }
};

QStringList errorsOf(const test::MessageRecorder &messages) {
    return messages.texts.filter(DataSource::ErrorPrefix);
}

} // namespace

class TestBoundWidgets : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void navigatorCaptionAndErrors();
    void openFailureGoesThroughTheErrorEvent();
    void displayFormats();
    void typedInput_data();
    void typedInput();
    void refusalIsReportedOnceAndNothingIsWritten();
    void leavingTheFieldAssigns();
    void lookupCombos();
    void lookupRefreshAndClick();
    void modelOverMasterTable();
    void gridFollowsAndMovesTheRecordSet();
    void accessibleNames();
    void twipsToPixels_data();
    void twipsToPixels();
};

void TestBoundWidgets::navigatorCaptionAndErrors() {
    Form form;
    QCOMPARE(form.navigator->caption(), QStringLiteral(" "));
    form.open();
    QCOMPARE(form.navigator->caption(), QStringLiteral("Record: 1"));
    form.click("cmdMoveNext");
    QCOMPARE(form.navigator->caption(), QStringLiteral("Record: 2"));
    QCOMPARE(form.title->text(), QStringLiteral("舞姫"));
    form.click("cmdMoveLast");
    form.click("cmdMoveNext");
    QCOMPARE(form.navigator->caption(), QStringLiteral("Record: -3"));
    QCOMPARE(form.title->text(), QString());
    QVERIFY(form.messages.texts.isEmpty());
    form.click("cmdMoveNext");
    QCOMPARE(form.messages.texts.size(), 1);
    QVERIFY(form.messages.texts.first().startsWith(QStringLiteral("Data error event hit err:")));
    QCOMPARE(form.messages.titles.first(), QString());
    form.click("cmdMoveFirst");
    QCOMPARE(form.navigator->caption(), QStringLiteral("Record: 1"));
    // Lookups are not primary: they show no errors.
    form.authors->moveTo(99);
    QCOMPARE(form.messages.texts.size(), 1);
}

void TestBoundWidgets::openFailureGoesThroughTheErrorEvent() {
    Form form;
    form.primary->setRecordSource("select * from NOSUCH");
    QSignalSpy errors(form.primary, &DataSource::error);
    QVERIFY(!form.primary->refresh());
    QCOMPARE(errors.count(), 1);
    QCOMPARE(form.messages.texts.size(), 1);
    QVERIFY(form.messages.texts.first().startsWith(DataSource::ErrorPrefix));
    QVERIFY(!form.primary->recordSet().isOpen());
    QVERIFY(!form.primary->moveNext());
}

void TestBoundWidgets::displayFormats() {
    Form form;
    form.open();
    QCOMPARE(form.title->text(), QStringLiteral("こころ"));
    QCOMPARE(form.price->text(), QStringLiteral("1,500"));
    QCOMPARE(form.issued->text(), QStringLiteral("2024/04/01"));
    QCOMPARE(form.price->alignment() & Qt::AlignRight, Qt::AlignRight);
    form.primary->moveNext();
    QCOMPARE(form.price->text(), QString());
    QCOMPARE(form.issued->text(), QString());
    form.primary->moveNext();
    QCOMPARE(form.price->text(), QStringLiteral("0"));
    QCOMPARE(form.issued->text(), QStringLiteral("1899/12/30"));
}

void TestBoundWidgets::typedInput_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("stored"); // invalid: refused
    QTest::addColumn<QString>("shown");
    QTest::newRow("full-width grouped price") << "txtPrice"
                                              << "２，５００" << QVariant(2500) << "2,500";
    QTest::newRow("plain price") << "txtPrice"
                                 << "700" << QVariant(700) << "700";
    QTest::newRow("empty price is null") << "txtPrice"
                                         << "" << QVariant("<null>") << "";
    QTest::newRow("short date") << "txtIssued"
                                << "2024/2/3" << QVariant("2024-02-03") << "2024/02/03";
    QTest::newRow("compact date") << "txtIssued"
                                  << "20240203" << QVariant("2024-02-03") << "2024/02/03";
    QTest::newRow("text in price") << "txtPrice"
                                   << "千五百" << QVariant() << "「価格」";
    QTest::newRow("price beyond 32 bits") << "txtPrice"
                                          << "3,000,000,000" << QVariant() << "「価格」";
    QTest::newRow("impossible date") << "txtIssued"
                                     << "2024/02/30" << QVariant() << "「発行日」";
    QTest::newRow("number in a date") << "txtIssued"
                                      << "1500" << QVariant() << "「発行日」";
    QTest::newRow("title too wide")
        << "txtTitle" << QString(26, u'猫') << QVariant() << "「題名」は50バイト";
    QTest::newRow("title not in cp932") << "txtTitle"
                                        << "한글" << QVariant() << "「題名」";
}

void TestBoundWidgets::typedInput() {
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QVariant, stored);
    QFETCH(QString, shown);
    Form form;
    form.open();
    auto *edit = form.window.findChild<BoundTextBox *>(box);
    QVERIFY(edit);
    const QVariant before = form.stored(edit->field(), 1);
    Form::type(edit, typed);
    form.click("cmdMoveNext");
    if (!stored.isValid()) {
        const QStringList errors = errorsOf(form.messages);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().startsWith(DataSource::ErrorPrefix + shown),
                 qPrintable(errors.first()));
        QCOMPARE(form.primary->recordSet().absolutePosition(), 1);
        QCOMPARE(edit->text(), typed); // the typed text stays, pending
        QCOMPARE(form.stored(edit->field(), 1), before);
        return;
    }
    QVERIFY2(form.messages.texts.isEmpty(), qPrintable(form.messages.texts.join('\n')));
    QCOMPARE(form.primary->recordSet().absolutePosition(), 2);
    const QVariant now = form.stored(edit->field(), 1);
    if (stored == QVariant("<null>"))
        QVERIFY(now.isNull());
    else
        QCOMPARE(now.toString(), stored.toString());
    form.click("cmdMovePrevious");
    QCOMPARE(edit->text(), shown);
}

void TestBoundWidgets::refusalIsReportedOnceAndNothingIsWritten() {
    Form form;
    form.open();
    Form::type(form.price, "abc");
    Form::type(form.title, "新しい題名");
    RecordSet &set = form.primary->recordSet();
    QVERIFY(form.primary->hasPendingEdits());
    QVERIFY_THROWS_EXCEPTION(RefusedEdit, set.updateBatch());
    QCOMPARE(form.messages.texts.size(), 1);
    QCOMPARE(form.price->text(), QStringLiteral("abc"));
    QCOMPARE(form.stored("題名", 1).toString(), QStringLiteral("こころ"));
    QVERIFY_THROWS_EXCEPTION(RefusedEdit, set.addNew());
    QCOMPARE(set.recordCount(), 3);
    Form::type(form.price, "1,234");
    set.updateBatch();
    QCOMPARE(form.stored("価格", 1).toInt(), 1234);
    QCOMPARE(form.stored("題名", 1).toString(), QStringLiteral("新しい題名"));
    QVERIFY(!form.primary->hasPendingEdits());
}

void TestBoundWidgets::leavingTheFieldAssigns() {
    Form form;
    form.open();
    form.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    form.price->setFocus();
    Form::type(form.price, "9,999");
    QVERIFY(!form.primary->recordSet().isDirty());
    form.title->setFocus();
    QTRY_VERIFY(form.primary->recordSet().isDirty());
    QCOMPARE(form.primary->recordSet().value("価格").toLongLong(), 9999);
    QCOMPARE(form.price->text(), QStringLiteral("9,999"));
    // Refused text stays silently until the next move reports it.
    form.price->setFocus();
    Form::type(form.price, "x");
    form.title->setFocus();
    QTRY_VERIFY(!form.price->hasFocus());
    QVERIFY(form.messages.texts.isEmpty());
    QCOMPARE(form.price->text(), QStringLiteral("x"));
    form.primary->recordSet().cancelUpdate();
    QCOMPARE(form.price->text(), QStringLiteral("1,500"));
}

void TestBoundWidgets::lookupCombos() {
    Form form;
    form.open();
    QCOMPARE(form.author->count(), 2);
    QCOMPARE(form.author->currentText(), QStringLiteral("夏目漱石"));
    QCOMPARE(form.stamp->currentText(), QStringLiteral("未")); // stored "未  "
    form.primary->moveNext();
    QCOMPARE(form.author->currentText(), QStringLiteral("森鴎外")); // number 40000
    QCOMPARE(form.stamp->currentText(), QStringLiteral("済"));
    form.primary->moveNext();
    QCOMPARE(form.author->currentIndex(), -1); // 99999 has no author row
    QCOMPARE(form.stamp->currentIndex(), -1);
    // Picking stores the bound number, or the stamp itself.
    form.author->setCurrentIndex(1);
    Q_EMIT form.author->activated(1);
    form.stamp->setCurrentIndex(form.stamp->findText(QStringLiteral("未")));
    Q_EMIT form.stamp->activated(form.stamp->currentIndex());
    form.primary->moveFirst();
    QCOMPARE(form.stored("著者NO", 3).toInt(), 40000);
    QCOMPARE(form.stored("読書ｽﾀﾝﾌﾟ", 3).toString(), QStringLiteral("未"));
    // A pick with no current row is refused through the error event.
    form.primary->moveLast();
    form.primary->moveNext();
    Q_EMIT form.author->activated(0);
    QCOMPARE(errorsOf(form.messages).size(), 1);
}

void TestBoundWidgets::lookupRefreshAndClick() {
    Form form;
    form.open();
    QSignalSpy clicks(form.author, &DataCombo::clicked);
    QTest::mouseClick(form.author, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
    form.exec("INSERT INTO CHOSHA (著者NO, 著者名, 国) VALUES (3, '樋口一葉', '日本')");
    QCOMPARE(form.author->count(), 2);
    QVERIFY(!form.authors->recordSet().eof());
    QVERIFY(form.authors->refresh());
    QCOMPARE(form.author->count(), 3);
    QCOMPARE(form.author->itemText(2), QStringLiteral("樋口一葉"));
    QCOMPARE(form.author->currentText(), QStringLiteral("夏目漱石"));
}

void TestBoundWidgets::modelOverMasterTable() {
    Form form;
    DataSource control;
    control.setObjectName(DataSource::PrimaryName);
    control.setConnectionString(Link);
    control.setRecordSource("select 著者NO,著者名,国 from CHOSHA Order by 著者NO");
    RecordSetModel model(&control.recordSet());
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(control.refresh());
    model.setColumns({{"著者NO", "著者NO", "#,##0"}, {"著者名", {}}, {"国", {}}});
    QCOMPARE(model.rowCount(), 3); // two authors and the empty new row
    QCOMPARE(model.newRowIndex(), 2);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("40,000"));
    QCOMPARE(model.headerData(2, Qt::Vertical).toString(), QStringLiteral("*"));
    QVERIFY(model.flags(model.index(0, 1)) & Qt::ItemIsEditable);

    // Typing into the new row starts a record; leaving it writes it.
    QVERIFY(model.setData(model.index(2, 0), "３"));
    QCOMPARE(model.rowCount(), 4);
    QVERIFY(model.setData(model.index(2, 1), "樋口一葉"));
    QVERIFY(model.setData(model.index(0, 2), "にほん")); // another row: the new one is written
    control.recordSet().updateBatch();
    QSqlQuery q(control.connection().database());
    q.exec("SELECT 著者名, 国 FROM CHOSHA ORDER BY 著者NO");
    QStringList rows;
    while (q.next())
        rows << q.value(0).toString() + u'/' + q.value(1).toString();
    QCOMPARE(rows, (QStringList{"夏目漱石/にほん", "樋口一葉/", "森鴎外/日本"}));

    // A refused value goes through the error event and the cell keeps its value.
    QVERIFY(!model.setData(model.index(1, 0), "abc"));
    QCOMPARE(errorsOf(form.messages).size(), 1);
    QCOMPARE(model.data(model.index(1, 0)).toString(), QStringLiteral("40,000"));
    QVERIFY(!model.setData(model.index(3, 0), "")); // nothing typed into the new row
    QCOMPARE(model.rowCount(), 4);

    // Deleting and a filter keep the tester content.
    control.recordSet().moveTo(1);
    control.recordSet().deleteCurrent();
    QCOMPARE(model.rowCount(), 3);
    control.recordSet().setFilter("著者名 LIKE '森*'");
    QCOMPARE(model.rowCount(), 2);
    control.recordSet().requery();
    QCOMPARE(model.rowCount(), 2);

    // A read-only source has no new row and no editable cells.
    control.setRecordSource("TQ1");
    QVERIFY(control.refresh());
    QCOMPARE(model.newRowIndex(), -1);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));
}

void TestBoundWidgets::gridFollowsAndMovesTheRecordSet() {
    Form form;
    form.exec("CREATE TRIGGER refuse BEFORE UPDATE ON CHOSHA WHEN NEW.著者名 = 'NG' "
              "BEGIN SELECT RAISE(ABORT, 'refused'); END");
    DataSource control;
    control.setObjectName(DataSource::PrimaryName);
    control.setConnectionString(Link);
    control.setRecordSource("select 著者NO,著者名,国 from CHOSHA Order by 著者NO");
    DataGrid grid;
    QVERIFY(control.refresh());
    grid.bind(&control);
    grid.setColumnWidthsTwips({900.28, 3195.21, 1995.02});
    QCOMPARE(grid.columnWidth(0), twips::toPixels(900.28));
    QCOMPARE(grid.currentIndex().row(), 0);
    control.moveLast();
    QCOMPARE(grid.currentIndex().row(), 1);
    grid.setCurrentIndex(grid.recordModel()->index(0, 1));
    QCOMPARE(control.recordSet().absolutePosition(), 1);
    // A refused save of the row being left keeps the grid on it.
    control.recordSet().setValue("著者名", "NG");
    grid.setCurrentIndex(grid.recordModel()->index(1, 1));
    QCOMPARE(control.recordSet().absolutePosition(), 1);
    QCOMPARE(errorsOf(form.messages).size(), 1);
    QTRY_COMPARE(grid.currentIndex().row(), 0);
    control.recordSet().cancelUpdate();
    QVERIFY(grid.goToNewRow());
    QCOMPARE(grid.currentIndex().row(), 2);
    QCOMPARE(control.recordSet().recordCount(), 2);
}

void TestBoundWidgets::accessibleNames() {
    Form form;
    const auto widgets = form.window.findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        if (qobject_cast<BoundTextBox *>(w) || qobject_cast<BoundTextArea *>(w) ||
            qobject_cast<DataCombo *>(w) || qobject_cast<DataNavigator *>(w) ||
            qobject_cast<QToolButton *>(w))
            QVERIFY2(!w->accessibleName().isEmpty(), qPrintable(w->objectName()));
    }
    QCOMPARE(form.price->accessibleName(), QStringLiteral("価格"));
    // Numbers and dates are typed with the input method off; text with it on.
    QVERIFY(!form.price->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(!form.issued->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(form.title->testAttribute(Qt::WA_InputMethodEnabled));
    QVERIFY(form.price->inputMethodHints() & Qt::ImhPreferNumbers);
    form.title->setInputMethodOn(false);
    QVERIFY(!form.title->testAttribute(Qt::WA_InputMethodEnabled));
}

void TestBoundWidgets::twipsToPixels_data() {
    QTest::addColumn<double>("twips");
    QTest::addColumn<double>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("an inch at 96") << 1440.0 << 96.0 << 96;
    QTest::newRow("an inch at 144") << 1440.0 << 144.0 << 144;
    QTest::newRow("register width at 96") << 7770.0 << 96.0 << 518;
    QTest::newRow("rounds to nearest") << 900.28 << 96.0 << 60;
    QTest::newRow("zero") << 0.0 << 96.0 << 0;
}

void TestBoundWidgets::twipsToPixels() {
    QFETCH(double, twips);
    QFETCH(double, dpi);
    QFETCH(int, pixels);
    QCOMPARE(twips::toPixels(twips, dpi), pixels);
    QVERIFY(qAbs(twips::fromPixels(pixels, dpi) - twips) <= twips::PerInch / dpi);
}

QTEST_MAIN(TestBoundWidgets)
#include "tst_boundwidgets.moc"
