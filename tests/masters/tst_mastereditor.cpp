#include "core/AppState.h"
#include "masters/MasterEditor.h"
#include "register/BookRegister.h"
#include "register/RegisterFixture.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"

#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

// Types into a cell of the grid as the user does; `row` -1 is the empty row at the bottom.
bool typeCell(MasterEditor *editor, int row, int column, const QString &text) {
    RecordSetModel *model = editor->grid()->recordModel();
    const QModelIndex cell = model->index(row < 0 ? model->newRowIndex() : row, column);
    editor->grid()->setCurrentIndex(cell);
    return model->setData(cell, text);
}

int position(MasterEditor *editor) {
    return editor->dataSource()->recordSet().absolutePosition();
}

} // namespace

class MasterEditorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // The whole life of one list: the four editors are one implementation.
    void editsTheAuthorList() {
        RegisterFixture fixture;
        // Two rows with one number, as an older installation's backup could bring them.
        fixture.exec(
            "INSERT INTO CHOSHA (著者NO, 著者名) VALUES (5, '五'), (8, '八'), (8, '八の二');"
            "INSERT INTO BOOK (題名, 著者NO) VALUES ('本', 5), ('本', 5), ('本', 5)");
        MasterEditor *editor = fixture.openEditor("CHOSHA", "CHOSHA");
        QVERIFY(editor);
        DataGrid *grid = editor->grid();
        RecordSetModel *model = grid->recordModel();
        QStringList &messages = fixture.messages.texts;

        click(editor, "cmdAdd"); // into the empty row at the bottom
        QCOMPARE(grid->currentIndex().row(), model->newRowIndex());
        QVERIFY(typeCell(editor, -1, 0, "３"));
        QVERIFY(typeCell(editor, 3, 1, "三"));
        click(editor, "cmdUpdate");
        QCOMPARE(fixture.value("SELECT 著者名 FROM CHOSHA WHERE 著者NO = 3").toString(),
                 QString("三"));

        // A number in use is refused by 更新 and by leaving the row, naming the number.
        click(editor, "cmdAdd");
        QVERIFY(typeCell(editor, -1, 0, "5"));
        QVERIFY(typeCell(editor, 4, 1, "重複"));
        click(editor, "cmdUpdate");
        grid->setCurrentIndex(model->index(0, 0));
        QTRY_COMPARE(grid->currentIndex().row(), 4); // the grid steps back onto the row
        QCOMPARE(messages.size(), 2);
        QVERIFY2(messages.first().contains("著者NO 5 "), qPrintable(messages.first()));
        QVERIFY(messages.last().startsWith("Data error event hit err:"));
        QCOMPARE(position(editor), 5);
        QVERIFY(typeCell(editor, 4, 0, "9"));
        QVERIFY(typeCell(editor, 1, 0, "5")); // an existing row may not take it either
        click(editor, "cmdUpdate");
        QCOMPARE(messages.size(), 3);
        QVERIFY(typeCell(editor, 1, 0, "6"));
        QVERIFY(typeCell(editor, 2, 1, "八（改）")); // a number that stands twice stays editable
        click(editor, "cmdUpdate");
        QCOMPARE(messages.size(), 3);
        QCOMPARE(fixture.value("SELECT group_concat(著者NO || 著者名) FROM CHOSHA").toString(),
                 QString("5五,6八,8八（改）,3三,9重複"));

        // An entry books use is not deleted, by 削除 or by the Delete key.
        grid->setCurrentIndex(model->index(0, 0));
        click(editor, "cmdDelete");
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(messages.size(), 5);
        QVERIFY2(messages.last().contains("著者NO 5 ") && messages.last().contains("3 冊"),
                 qPrintable(messages.last()));
        QCOMPARE(fixture.count("CHOSHA"), 5);

        // Any other row goes either way, and the editor stands on the row that followed.
        grid->setCurrentIndex(model->index(3, 1));
        QTest::keyClick(grid, Qt::Key_Delete);
        QCOMPARE(fixture.count("CHOSHA"), 4);
        QCOMPARE(position(editor), 4);
        QCOMPARE(model->index(3, 1).data().toString(), QString("重複"));
        click(editor, "cmdDelete"); // the last row: the new last row follows
        QCOMPARE(fixture.count("CHOSHA"), 3);
        QCOMPARE(position(editor), 3);
        // A second row with the books' number keeps their author: either one may go.
        fixture.exec("INSERT INTO CHOSHA (著者NO, 著者名) VALUES (5, '五の二')");
        QVERIFY(editor->dataSource()->refresh());
        click(editor, "cmdDelete");
        QCOMPARE(fixture.count("CHOSHA WHERE 著者NO = 5"), 1);
        QCOMPARE(messages.size(), 5);

        // Closing writes the pending row: one that cannot be written keeps the editor and the
        // flag; a cell still open for typing counts as typed.
        click(editor, "cmdAdd");
        QVERIFY(typeCell(editor, -1, 0, "6"));
        QVERIFY(!editor->close());
        QCOMPARE(messages.size(), 6);
        QCOMPARE(int(AppState::instance().subWindowFlag), 1);
        QVERIFY(typeCell(editor, 3, 0, "7"));
        const QModelIndex name = model->index(3, 1);
        grid->setCurrentIndex(name);
        grid->edit(name);
        qobject_cast<QLineEdit *>(grid->indexWidget(name))->setText("七");
        QVERIFY(editor->close());
        QCOMPARE(int(AppState::instance().subWindowFlag), 0);
        QCOMPARE(fixture.value("SELECT 著者名 FROM CHOSHA WHERE 著者NO = 7").toString(),
                 QString("七"));
    }

    // What differs between the four lists comes from their descriptions.
    void fourListsFromTheirDescriptions() {
        const struct {
            const char *menuItem, *form, *caption, *table;
            QStringList columns;
            const char *shownNumber; // how 1234 is shown; 削除 deletes it, then has nothing
        } lists[] = {
            {"CHOSHA", "CHOSHA", "著者名登録", "CHOSHA", {"著者NO", "著者名", "国"}, "1,234"},
            {"HAKKOU", "HAKKO", "発行所登録", "HAKKOU", {"発行所NO", "発行所"}, "1234"},
            {"BUNYA", "BUNYA", "分野登録", "BUNYA", {"分野NO", "分野名"}, "1,234"},
            {"SAIZU", "SAIZU", "サイズ登録", "SAIZU", {"ｻｲｽﾞNO", "ｻｲｽﾞ名"}, "1234"}};
        for (const auto &list : lists) {
            RegisterFixture fixture;
            fixture.exec(
                QString("INSERT INTO %1 (%2) VALUES (1234)").arg(list.table, list.columns[0]));
            MasterEditor *editor = fixture.openEditor(list.menuItem, list.form);
            QVERIFY(editor);
            // The texts a user reads, typed out here so that a typo in the editor shows.
            QStringList shown = {editor->windowTitle(),
                                 control<QLabel>(editor, "grdDataGridCaption")->text()};
            for (int i = 0; i < editor->grid()->model()->columnCount(); ++i)
                shown << editor->grid()->model()->headerData(i, Qt::Horizontal).toString();
            for (const char *name : {"cmdAdd", "cmdUpdate", "cmdDelete", "cmdClose"})
                shown << control<QPushButton>(editor, name)->text();
            QCOMPARE(shown, QStringList({list.caption, list.caption}) + list.columns +
                                QStringList({"追加(&A)", "更新(&U)", "削除(&D)", "閉じる(&C)"}));
            QCOMPARE(editor->grid()->model()->index(0, 0).data().toString(),
                     QString(list.shownNumber));
            click(editor, "cmdDelete");
            click(editor, "cmdDelete");
            QCOMPARE(fixture.count(list.table), 0);
            QCOMPARE(fixture.messages.texts.size(), 2); // the first: no row left to stand on
            QCOMPARE(fixture.messages.texts.last(), QString("削除する行がありません。"));
        }
    }

    // Closing by 閉じる or the title bar clears the flag and the register can open the next
    // screen; with no record set open (no link file) there is nothing to save and it closes.
    void closingGivesTheRegisterBack() {
        for (const bool linkFile : {true, false}) {
            for (const bool byButton : {true, false}) {
                RegisterFixture fixture;
                BookRegister *books = fixture.openRegister();
                if (!linkFile)
                    QVERIFY(QFile::remove(fixture.folder.filePath("Karobu.udl")));
                QPointer<MasterEditor> editor = fixture.openEditor("CHOSHA", "CHOSHA");
                QCOMPARE(editor->dataSource()->recordSet().isOpen(), linkFile);
                QVERIFY(!books->close()); // while the editor is open the register stays
                if (byButton)
                    click(editor, "cmdClose");
                else
                    QVERIFY(editor->close());
                RegisterFixture::settle();
                QVERIFY(editor.isNull());
                QCOMPARE(int(AppState::instance().subWindowFlag), 0);
                QVERIFY(books->isVisible());
                QCOMPARE(fixture.messages.texts.size(), linkFile ? 0 : 1); // the failed open
                QVERIFY(fixture.openEditor("BUNYA", "BUNYA"));
            }
        }
    }
};

QTEST_MAIN(MasterEditorTest)
#include "tst_mastereditor.moc"
