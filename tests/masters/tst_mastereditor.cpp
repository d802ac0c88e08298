#include "core/AppState.h"
#include "masters/MasterEditor.h"
#include "register/BookRegister.h"
#include "register/RegisterFixture.h"
#include "support/DataRows.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"

#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

constexpr int NewRow = -1;     // reached by 追加
constexpr int NoLinkFile = -2; // the list cannot open: nothing to save on closing
// As an older installation's backup could bring them: 8 stands twice (books use 5 and 8).
const QString Authors = "5五,8八,8八の二";

} // namespace

class MasterEditorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // One edit typed from the keyboard, from the first column on with Tab between the cells,
    // and ended one way; or a deletion.
    void editing_data() {
        // `row` or NewRow, NoLinkFile; `end` a button, Delete, Enter, leave or close (title bar);
        // `list` the authors afterwards, empty: as they were; `said` in the one message shown
        columns<int, QStringList, QString, QString, QString>(
            {"row", "typed", "end", "list", "said"});
        auto row = [](const char *name, int row, const QStringList &typed, const char *end,
                      const QString &list,
                      const QString &said = {}) { test::row(name, row, typed, end, list, said); };
        const QString inUse = "著者NO 5 はすでに使われています";
        row("new row, Tab to the name", NewRow, {"３", "三"}, "cmdUpdate", Authors + ",3三");
        row("new row by leaving it", NewRow, {"7", "七"}, "leave", Authors + ",7七");
        row("new row, number in use, 更新", NewRow, {"5", "重複"}, "cmdUpdate", {}, inUse);
        row("new row, number in use, leaving", NewRow, {"5", "重複"}, "leave", {}, inUse);
        row("new row without a number", NewRow, {"", "名無し"}, "cmdUpdate", {},
            "著者NO を入力して");
        row("existing row takes a number in use", 1, {"5"}, "cmdUpdate", {}, inUse);
        row("number that stands twice stays editable", 2, {"", "八（改）"}, "cmdUpdate",
            "5五,8八,8八（改）");
        row("renumbering an entry books use", 0, {"6"}, "cmdUpdate", {},
            "著者NO 5 は 3 冊の蔵書が使っているため番号を変えられません");
        row("renumbering one of two rows books use", 1, {"9"}, "cmdUpdate", "5五,9八,8八の二");
        row("name too long, kept for correction", 0, {"", QString(26, u'あ')}, "Enter", {},
            "著者名");
        row("number out of range, kept for correction", 0, {"99999999999"}, "Enter", {},
            "2,147,483,647");
        row("閉じる", 0, {}, "cmdClose", {});
        row("閉じる without a link file", NoLinkFile, {}, "cmdClose", {}, "Karobu.udl");
        row("closing writes the open cell", NewRow, {"7", "七"}, "close", Authors + ",7七");
        row("closing with a row that cannot be written", NewRow, {"5"}, "close", {}, inUse);
        // An entry books use is not deleted unless another row holds its number; the editor
        // stands on the row that followed.
        row("deleting an entry books use", 0, {}, "Delete", {},
            "著者NO 5 は 3 冊の蔵書が使っているため削除できません");
        row("deleting one of two rows books use", 1, {}, "Delete", "5五,8八の二");
        row("deleting the last row", 2, {}, "cmdDelete", "5五,8八");
    }

    void editing() {
        const int row = cell<int>("row");
        const QStringList typed = cell<QStringList>("typed");
        const QString end = text("end");
        const QString said = text("said");
        QTest::failOnWarning(QRegularExpression("closeEditor"));
        RegisterFixture fixture;
        fixture.exec(
            "INSERT INTO CHOSHA (著者NO, 著者名) VALUES (5, '五'), (8, '八'), (8, '八の二');"
            "INSERT INTO BOOK (題名, 著者NO) VALUES ('本', 5), ('本', 5), ('本', 5), ('本', 8)");
        if (row == NoLinkFile) // gone after the register opened
            QVERIFY(fixture.openRegister() && QFile::remove(fixture.folder.filePath("Karobu.udl")));
        QPointer<MasterEditor> editor = fixture.openEditor("CHOSHA", "CHOSHA");
        QVERIFY(editor);
        DataGrid *grid = editor->grid();
        auto keys = [grid] { // the open cell, or the grid when none is open
            QWidget *cell = grid->indexWidget(grid->currentIndex());
            return cell ? cell : grid;
        };
        if (row == NewRow)
            click(editor, "cmdAdd"); // into the empty row at the bottom
        else if (row >= 0)
            grid->setCurrentIndex(grid->model()->index(row, 0));
        const QModelIndex last = grid->currentIndex().siblingAtColumn(qMax(typed.size() - 1, 0));
        for (int i = 0; i < typed.size(); ++i) {
            if (i > 0)
                QTest::keyClick(keys(), Qt::Key_Tab);
            for (const QChar c : typed[i]) // as an input method hands characters over
                QTest::sendKeyEvent(QTest::Click, keys(), Qt::Key_unknown, c, Qt::NoModifier);
        }
        QCOMPARE(grid->currentIndex(), last);
        QVERIFY(!fixture.openRegister()->close()); // while the editor is open the register stays
        if (end.startsWith("cmd")) {
            click(editor, end);
        } else if (end == "Delete") {
            QTest::keyClick(grid, Qt::Key_Delete);
        } else if (end == "close") {
            editor->close();
        } else {
            QTest::keyClick(keys(), Qt::Key_Return);
            RegisterFixture::settle(); // the editor closes after the key
            if (end == "leave")
                grid->setCurrentIndex(grid->model()->index(0, 0));
        }
        RegisterFixture::settle();
        QCOMPARE(fixture.value("SELECT group_concat(著者NO || 著者名) FROM CHOSHA").toString(),
                 text("list").isEmpty() ? Authors : text("list"));
        QCOMPARE(fixture.messages.texts.size(), said.isEmpty() ? 0 : 1);
        QVERIFY2(fixture.messages.texts.value(0).contains(said),
                 qPrintable(fixture.messages.texts.value(0)));
        // The editor stays, and so does the register's flag, while a row cannot be written.
        if (end == "close" || end == "cmdClose") {
            const bool closes = said.isEmpty() || row == NoLinkFile;
            QCOMPARE(editor.isNull(), closes);
            QCOMPARE(int(AppState::instance().subWindowFlag), closes ? 0 : 1);
            QVERIFY(!closes || fixture.openEditor("BUNYA", "BUNYA"));
        }
        if (end == "cmdDelete" || end == "Delete")
            QCOMPARE(editor->dataSource()->recordSet().absolutePosition(),
                     qMin(row + 1, fixture.count("CHOSHA")));
        if (end == "leave" && !said.isEmpty())
            QTRY_COMPARE(grid->currentIndex().row(), 3); // the grid steps back onto the row
        if (end == "Enter") {                            // the refused text is back in its cell
            QWidget *cell = grid->indexWidget(last);
            QCOMPARE(cell ? cell->property("text").toString() : QString(), typed.last());
        }
    }

    // What differs between the four lists comes from their descriptions.
    void fourLists_data() {
        // `menuItem` also the table; `shownNumber` how 1234 is shown
        columns<QString, QString, QStringList, QString>(
            {"menuItem", "form", "columns", "shownNumber"});

        auto row = [](const char *menuItem, const char *form, const char *caption,
                      const QStringList &columns, const char *shownNumber) {
            test::row(caption, menuItem, form, columns, shownNumber);
        };
        row("CHOSHA", "CHOSHA", "著者名登録", {"著者NO", "著者名", "国"}, "1,234");
        row("HAKKOU", "HAKKO", "発行所登録", {"発行所NO", "発行所"}, "1234");
        row("BUNYA", "BUNYA", "分野登録", {"分野NO", "分野名"}, "1,234");
        row("SAIZU", "SAIZU", "サイズ登録", {"ｻｲｽﾞNO", "ｻｲｽﾞ名"}, "1234");
    }

    void fourLists() {
        const QString menuItem = text("menuItem");
        const QStringList columns = cell<QStringList>("columns");
        RegisterFixture fixture;
        fixture.exec(QString("INSERT INTO %1 (%2) VALUES (1234)").arg(menuItem, columns[0]));
        MasterEditor *editor = fixture.openEditor(menuItem, text("form"));
        QVERIFY(editor);
        // The texts a user reads, typed out here so that a typo in the editor shows.
        QStringList shown = {editor->windowTitle(),
                             control<QLabel>(editor, "grdDataGridCaption")->text()};
        for (int i = 0; i < editor->grid()->model()->columnCount(); ++i)
            shown << editor->grid()->model()->headerData(i, Qt::Horizontal).toString();
        QCOMPARE(shown, QStringList(2, QTest::currentDataTag()) + columns);
        QTEST(editor->grid()->model()->index(0, 0).data().toString(), "shownNumber");
        click(editor, "cmdDelete"); // a message: no row left to stand on
        click(editor, "cmdDelete");
        QCOMPARE(fixture.count(menuItem), 0);
        QCOMPARE(fixture.messages.texts.value(1), QString("削除する行がありません。"));
    }
};

QTEST_MAIN(MasterEditorTest)
#include "tst_mastereditor.moc"
