#include "core/AppState.h"
#include "masters/MasterEditor.h"
#include "register/MEISAI.h"
#include "register/RegisterFixture.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"
#include "widgets/Twips.h"
#include "widgets/WindowRegistry.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QtTest>

using namespace hondana;
using test::click;
using test::control;
using test::RegisterFixture;

namespace {

// What the four editors are, as a user meets them. One row per editor; every test body runs
// over all four.
void addEditorRows() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("menuItem");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QList<double>>("widths");
    QTest::addColumn<QString>("shownNumber"); // how the number 1234 is shown
    QTest::addColumn<QSize>("clientTwips");
    QTest::addColumn<QList<int>>("buttonLefts");
    QTest::addColumn<int>("gridHeightTwips");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<QString>("combo");
    QTest::newRow("authors") << "CHOSHA"
                             << "CHOSHA"
                             << "著者名登録"
                             << "CHOSHA" << QStringList{"著者NO", "著者名", "国"}
                             << QList<double>{900.28, 3195.21, 1995.02} << "1,234"
                             << QSize(5850, 4620) << QList<int>{290, 1675, 3060, 4445} << 3930
                             << QColor(250, 252, 160) << "DataCombo1";
    QTest::newRow("publishers") << "HAKKO"
                                << "HAKKOU"
                                << "発行所登録"
                                << "HAKKOU" << QStringList{"発行所NO", "発行所"}
                                << QList<double>{1604.98, 4995.21} << "1234" << QSize(5715, 4695)
                                << QList<int>{120, 1440, 2760, 4080} << 4035
                                << QColor(255, 255, 162) << "DataCombo2";
    QTest::newRow("categories") << "BUNYA"
                                << "BUNYA"
                                << "分野登録"
                                << "BUNYA" << QStringList{"分野NO", "分野名"}
                                << QList<double>{870.24, 4800.19} << "1,234" << QSize(5460, 4725)
                                << QList<int>{120, 1440, 2760, 4080} << 4035
                                << QColor(255, 255, 130) << "DataCombo3";
    QTest::newRow("sizes") << "SAIZU"
                           << "SAIZU"
                           << "サイズ登録"
                           << "SAIZU" << QStringList{"ｻｲｽﾞNO", "ｻｲｽﾞ名"}
                           << QList<double>{810.14, 4394.83} << "1234" << QSize(5310, 4290)
                           << QList<int>{120, 1440, 2760, 4080} << 3600 << QColor(255, 255, 149)
                           << "DataCombo4";
}

QString insertRow(const QString &table, const QStringList &columns, int number,
                  const QString &name) {
    return QString("INSERT INTO %1 (%2, %3) VALUES (%4, '%5')")
        .arg(table, columns.at(0), columns.at(1))
        .arg(number)
        .arg(name);
}

// The register's menu item opens the editor, as the user does it.
MasterEditor *openEditor(RegisterFixture &fixture, const QString &menuItem, const QString &form) {
    MEISAI *books = fixture.openRegister();
    if (!books)
        return nullptr;
    for (QAction *action : books->findChildren<QAction *>(menuItem)) {
        if (!action->menu())
            action->trigger();
    }
    auto *editor = qobject_cast<MasterEditor *>(RegisterFixture::visibleWindow(form));
    if (editor && !QTest::qWaitForWindowExposed(editor))
        return nullptr;
    return editor;
}

// Types into a cell of the grid as the user does; `row` -1 is the empty row at the bottom.
bool typeCell(MasterEditor *editor, int row, int column, const QString &text) {
    RecordSetModel *model = editor->grid()->recordModel();
    const int target = row < 0 ? model->newRowIndex() : row;
    editor->grid()->setCurrentIndex(model->index(target, column));
    return model->setData(model->index(target, column), text);
}

} // namespace

class MasterEditorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void opensAsDescribed_data() { addEditorRows(); }
    void opensAsDescribed();
    void sizesOnlyTheGridHeight_data() { addEditorRows(); }
    void sizesOnlyTheGridHeight();
    void addsSavesAndDeletesRows_data() { addEditorRows(); }
    void addsSavesAndDeletesRows();
    void refusesADuplicateNumber_data() { addEditorRows(); }
    void refusesADuplicateNumber();
    void refusesDeletingARowBooksUse_data() { addEditorRows(); }
    void refusesDeletingARowBooksUse();
    void closingClearsTheFlag_data() { addEditorRows(); }
    void closingClearsTheFlag();
    void closingSavesThePendingRow_data() { addEditorRows(); }
    void closingSavesThePendingRow();
    void addedNamesReachTheRegisterOnClick_data() { addEditorRows(); }
    void addedNamesReachTheRegisterOnClick();
};

void MasterEditorTest::opensAsDescribed() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    QFETCH(QString, caption);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QList<double>, widths);
    QFETCH(QString, shownNumber);
    QFETCH(QSize, clientTwips);
    QFETCH(QList<int>, buttonLefts);
    QFETCH(int, gridHeightTwips);
    QFETCH(QColor, background);
    RegisterFixture fixture;
    fixture.exec(insertRow(table, columns, 1234, "名"));
    fixture.exec(insertRow(table, columns, 7, "先"));
    MasterEditor *editor = openEditor(fixture, menuItem, form);
    QVERIFY(editor);
    QCOMPARE(int(AppState::instance().subWindowFlag), 1);
    QCOMPARE(editor->windowTitle(), caption);
    QVERIFY(editor->windowFlags() & Qt::WindowMaximizeButtonHint);
    QCOMPARE(editor->size(), twips::size(clientTwips.width(), clientTwips.height()));
    QCOMPARE(control<QLabel>(editor, "grdDataGridCaption")->text(), caption);

    auto *grid = control<DataGrid>(editor, "grdDataGrid");
    QCOMPARE(editor->gridArea()->height(), twips::toPixels(gridHeightTwips));
    QCOMPARE(editor->gridArea()->width(), twips::toPixels(clientTwips.width()));
    QCOMPARE(grid->palette().color(QPalette::Base), background);
    QAbstractItemModel *model = grid->model();
    QCOMPARE(model->columnCount(), columns.size());
    for (int i = 0; i < columns.size(); ++i) {
        QCOMPARE(model->headerData(i, Qt::Horizontal).toString(), columns.at(i));
        QCOMPARE(grid->columnWidth(i), twips::toPixels(widths.at(i)));
    }
    // Ordered by number, with the empty new row below.
    QCOMPARE(model->rowCount(), 3);
    QCOMPARE(model->index(0, 0).data().toString(), QString("7"));
    QCOMPARE(model->index(1, 0).data().toString(), shownNumber);
    QCOMPARE(model->index(2, 0).data().toString(), QString());
    QCOMPARE(editor->dataSource()->recordSet().absolutePosition(), 1);

    auto *bar = control(editor, "picButtons");
    QCOMPARE(bar->geometry().bottom(), editor->height() - 1);
    QCOMPARE(bar->height(), twips::toPixels(300));
    const QStringList buttons = {"cmdAdd", "cmdUpdate", "cmdDelete", "cmdClose"};
    const QStringList captions = {"追加(&A)", "更新(&U)", "削除(&D)", "閉じる(&C)"};
    for (int i = 0; i < buttons.size(); ++i) {
        auto *button = control<QPushButton>(editor, buttons.at(i));
        QCOMPARE(button->text(), captions.at(i));
        QCOMPARE(button->x(), twips::toPixels(buttonLefts.at(i)));
        QCOMPARE(button->size(), twips::size(1095, 300));
    }
    QVERIFY(fixture.messages.texts.isEmpty());
}

void MasterEditorTest::sizesOnlyTheGridHeight() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    QFETCH(QSize, clientTwips);
    QFETCH(int, gridHeightTwips);
    RegisterFixture fixture;
    MasterEditor *editor = openEditor(fixture, menuItem, form);
    QVERIFY(editor);
    QWidget *area = editor->gridArea();
    const int designWidth = area->width();

    editor->resize(twips::size(clientTwips.width() + 1500, clientTwips.height() + 1500));
    QCOMPARE(area->height(), twips::toPixels(gridHeightTwips + 1500));
    QCOMPARE(area->width(), designWidth);
    QCOMPARE(area->pos(), QPoint(0, 0));

    // Too small for navigator, gap and button bar: the grid keeps its height.
    editor->resize(twips::size(clientTwips.width(), 450));
    QCOMPARE(area->height(), twips::toPixels(gridHeightTwips + 1500));

    editor->resize(twips::size(clientTwips.width(), clientTwips.height()));
    QCOMPARE(area->height(), twips::toPixels(gridHeightTwips));
    QVERIFY(fixture.messages.texts.isEmpty());
}

void MasterEditorTest::addsSavesAndDeletesRows() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    RegisterFixture fixture;
    MasterEditor *editor = openEditor(fixture, menuItem, form);
    QVERIFY(editor);
    RecordSetModel *model = editor->grid()->recordModel();

    // 追加 on an empty list puts the cursor into the new row.
    click(editor, "cmdAdd");
    QCOMPARE(editor->grid()->currentIndex().row(), model->newRowIndex());
    QVERIFY(fixture.messages.texts.isEmpty());

    QVERIFY(typeCell(editor, -1, 0, "３"));
    QVERIFY(typeCell(editor, 0, 1, "三"));
    click(editor, "cmdUpdate");
    QCOMPARE(
        fixture.scalar(QString("SELECT %1 || %2 FROM %3").arg(columns.at(0), columns.at(1), table))
            .toString(),
        QString("3三"));

    // Leaving a new row for the next one writes it.
    click(editor, "cmdAdd");
    QVERIFY(typeCell(editor, -1, 0, "1"));
    QVERIFY(typeCell(editor, 1, 1, "一"));
    click(editor, "cmdAdd");
    QCOMPARE(fixture.count(table), 2);
    QVERIFY(typeCell(editor, -1, 0, "2"));
    QVERIFY(typeCell(editor, 2, 1, "二"));
    click(editor, "cmdUpdate");
    QCOMPARE(fixture.count(table), 3);
    QVERIFY(fixture.messages.texts.isEmpty());

    // Deleting the last row moves to the new last row; the rows added stay in added order.
    editor->grid()->setCurrentIndex(model->index(2, 0));
    click(editor, "cmdDelete");
    QCOMPARE(fixture.count(table), 2);
    QCOMPARE(editor->dataSource()->recordSet().absolutePosition(), 2);
    editor->grid()->setCurrentIndex(model->index(0, 0));
    click(editor, "cmdDelete");
    QCOMPARE(editor->dataSource()->recordSet().absolutePosition(), 1);
    QCOMPARE(model->index(0, 1).data().toString(), QString("一"));
    QVERIFY(fixture.messages.texts.isEmpty());

    // Deleting the only row empties the list; the final move has nothing to stand on.
    click(editor, "cmdDelete");
    QCOMPARE(fixture.count(table), 0);
    QCOMPARE(fixture.messages.texts.size(), 1);

    // Nothing left to delete: said plainly, nothing changes.
    click(editor, "cmdDelete");
    QCOMPARE(fixture.messages.texts.size(), 2);
    QCOMPARE(fixture.messages.texts.last(), QString("削除する行がありません。"));
}

void MasterEditorTest::refusesADuplicateNumber() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    RegisterFixture fixture;
    fixture.exec(insertRow(table, columns, 5, "五"));
    fixture.exec(insertRow(table, columns, 6, "六"));
    // Two rows with one number, as an older installation's backup could bring them.
    fixture.exec(insertRow(table, columns, 8, "八"));
    fixture.exec(insertRow(table, columns, 8, "八の二"));
    MasterEditor *editor = openEditor(fixture, menuItem, form);
    QVERIFY(editor);

    // A new row with a number in use.
    click(editor, "cmdAdd");
    QVERIFY(typeCell(editor, -1, 0, "5"));
    QVERIFY(typeCell(editor, 4, 1, "重複"));
    click(editor, "cmdUpdate");
    QCOMPARE(fixture.messages.texts.size(), 1);
    QVERIFY2(fixture.messages.texts.last().contains(columns.at(0) + " 5 "),
             qPrintable(fixture.messages.texts.last()));
    QCOMPARE(fixture.count(table), 4);
    QCOMPARE(editor->grid()->recordModel()->index(4, 1).data().toString(), QString("重複"));

    // Leaving the row through the grid is refused the same way, through the error event.
    editor->grid()->setCurrentIndex(editor->grid()->recordModel()->index(0, 0));
    QCOMPARE(fixture.messages.texts.size(), 2);
    QVERIFY(fixture.messages.texts.last().startsWith("Data error event hit err:"));
    QVERIFY(fixture.messages.texts.last().contains(columns.at(0) + " 5 "));
    QCOMPARE(fixture.count(table), 4);

    // Another number goes in.
    QVERIFY(typeCell(editor, 4, 0, "9"));
    click(editor, "cmdUpdate");
    QCOMPARE(fixture.count(table), 5);

    // Changing an existing row's number to one in use is refused too.
    QVERIFY(typeCell(editor, 1, 0, "5"));
    click(editor, "cmdUpdate");
    QCOMPARE(fixture.messages.texts.size(), 3);
    QCOMPARE(
        fixture.scalar(QString("SELECT count(*) FROM %1 WHERE %2 = 5").arg(table, columns.at(0)))
            .toInt(),
        1);
    QVERIFY(typeCell(editor, 1, 0, "6"));
    click(editor, "cmdUpdate");

    // A restored number that stands twice stays editable by name.
    QVERIFY(typeCell(editor, 2, 1, "八（改）"));
    click(editor, "cmdUpdate");
    QCOMPARE(fixture.messages.texts.size(), 3);
    QCOMPARE(
        fixture
            .scalar(
                QString("SELECT count(*) FROM %1 WHERE %2 = '八（改）'").arg(table, columns.at(1)))
            .toInt(),
        1);
}

void MasterEditorTest::refusesDeletingARowBooksUse() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    RegisterFixture fixture;
    fixture.exec(insertRow(table, columns, 5, "五"));
    fixture.exec(insertRow(table, columns, 6, "六"));
    for (int i = 0; i < 3; ++i)
        fixture.exec(QString("INSERT INTO BOOK (題名, %1) VALUES ('本', 5)").arg(columns.at(0)));
    MasterEditor *editor = openEditor(fixture, menuItem, form);
    QVERIFY(editor);

    click(editor, "cmdDelete");
    QCOMPARE(fixture.messages.texts.size(), 1);
    QVERIFY2(fixture.messages.texts.last().contains(columns.at(0) + " 5 ") &&
                 fixture.messages.texts.last().contains("3 冊"),
             qPrintable(fixture.messages.texts.last()));
    QCOMPARE(fixture.count(table), 2);
    QCOMPARE(editor->grid()->recordModel()->rowCount(), 3);
    QCOMPARE(editor->dataSource()->recordSet().absolutePosition(), 1);

    // A second row with the same number keeps the books' master: that delete goes through.
    fixture.exec(insertRow(table, columns, 5, "五の二"));
    editor->dataSource()->refresh();
    click(editor, "cmdDelete");
    QCOMPARE(fixture.messages.texts.size(), 1);
    QCOMPARE(fixture.count(table), 2);

    // A row no book uses goes.
    editor->grid()->setCurrentIndex(editor->grid()->recordModel()->index(1, 0));
    click(editor, "cmdDelete");
    QCOMPARE(fixture.messages.texts.size(), 1);
    QCOMPARE(fixture.count(table), 1);
}

void MasterEditorTest::closingClearsTheFlag() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    for (const bool byButton : {true, false}) {
        RegisterFixture fixture;
        QPointer<MasterEditor> editor = openEditor(fixture, menuItem, form);
        QVERIFY(editor);
        MEISAI *books = qobject_cast<MEISAI *>(RegisterFixture::visibleWindow(MEISAI::Name));
        // While it is open the register refuses to close.
        QVERIFY(!books->close());
        if (byButton)
            click(editor, "cmdClose");
        else
            QVERIFY(editor->close());
        RegisterFixture::settle();
        QVERIFY(editor.isNull());
        QCOMPARE(int(AppState::instance().subWindowFlag), 0);
        QVERIFY(books->isVisible());

        // The next screen opens at once, read afresh.
        editor = openEditor(fixture, menuItem, form);
        QVERIFY(editor);
        QCOMPARE(int(AppState::instance().subWindowFlag), 1);
        QVERIFY(fixture.messages.texts.isEmpty());
    }
}

void MasterEditorTest::closingSavesThePendingRow() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    RegisterFixture fixture;
    fixture.exec(insertRow(table, columns, 1, "一"));
    QPointer<MasterEditor> editor = openEditor(fixture, menuItem, form);
    QVERIFY(editor);

    // A number in use cannot be written: the editor stays, the flag stays, the row stays typed.
    click(editor, "cmdAdd");
    QVERIFY(typeCell(editor, -1, 0, "1"));
    QVERIFY(!editor->close());
    QCOMPARE(fixture.messages.texts.size(), 1);
    QVERIFY(fixture.messages.texts.first().startsWith("Data error event hit err:"));
    QCOMPARE(int(AppState::instance().subWindowFlag), 1);

    // A cell still open for typing is taken as typed.
    QVERIFY(typeCell(editor, 1, 0, "2"));
    DataGrid *grid = editor->grid();
    const QModelIndex name = grid->recordModel()->index(1, 1);
    grid->setCurrentIndex(name);
    grid->edit(name);
    auto *cell = qobject_cast<QLineEdit *>(grid->indexWidget(name));
    QVERIFY(cell);
    cell->setText("二");
    QVERIFY(editor->close());
    RegisterFixture::settle();
    QVERIFY(editor.isNull());
    QCOMPARE(int(AppState::instance().subWindowFlag), 0);
    QCOMPARE(
        fixture
            .scalar(
                QString("SELECT %1 FROM %2 WHERE %3 = 2").arg(columns.at(1), table, columns.at(0)))
            .toString(),
        QString("二"));
}

void MasterEditorTest::addedNamesReachTheRegisterOnClick() {
    QFETCH(QString, form);
    QFETCH(QString, menuItem);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(QString, combo);
    RegisterFixture fixture;
    fixture.exec(insertRow(table, columns, 1, "既存"));
    MasterEditor *editor = openEditor(fixture, menuItem, form);
    QVERIFY(editor);
    click(editor, "cmdAdd");
    QVERIFY(typeCell(editor, -1, 0, "2"));
    QVERIFY(typeCell(editor, 1, 1, "新規"));
    click(editor, "cmdUpdate");
    click(editor, "cmdClose");

    auto *lookup = control<QComboBox>(RegisterFixture::visibleWindow(MEISAI::Name), combo);
    QCOMPARE(lookup->count(), 1);
    QTest::mouseClick(lookup, Qt::LeftButton);
    lookup->hidePopup();
    QCOMPARE(lookup->count(), 2);
    QCOMPARE(lookup->itemText(1), QString("新規"));
    QVERIFY(fixture.messages.texts.isEmpty());
}

QTEST_MAIN(MasterEditorTest)
#include "tst_mastereditor.moc"
