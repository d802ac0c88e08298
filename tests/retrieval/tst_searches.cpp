// The three searches and the unread list: the filter each search installs, what it finds, and
// the screens' behaviour around it.
#include "RetrievalFixture.h"

#include "core/AppState.h"
#include "retrieval/QueryScreen.h"
#include "support/Controls.h"
#include "support/DataRows.h"
#include "support/MessageRecorder.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"

#include <QLineEdit>
#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {

const QueryScreenDescription &describe(const QString &form) {
    for (const QueryScreenDescription &d : searchDescriptions())
        if (d.formName == form)
            return d;
    qFatal("no search %s", qPrintable(form));
}

// One column of what the grid shows, top to bottom.
QStringList shown(const QAbstractItemModel &grid, const QString &field) {
    int column = 0;
    while (column < grid.columnCount() && grid.headerData(column, Qt::Horizontal) != field)
        ++column;
    QStringList values;
    for (int row = 0; row < grid.rowCount(); ++row)
        values << grid.index(row, column).data().toString();
    return values;
}

// Types into the boxes ("KANRI1=12;KANRI2=7") and presses 抽出.
void search(QueryScreen &screen, const QString &boxes) {
    for (QLineEdit *input : screen.findChildren<QLineEdit *>())
        input->clear();
    for (const QString &box : boxes.split(u';', Qt::SkipEmptyParts))
        control<QLineEdit>(&screen, box.section(u'=', 0, 0))->setText(box.section(u'=', 1));
    click(&screen, "Command1");
}

} // namespace

class TestSearches : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What every search shows on opening, and what a screen reader finds on it.
    void screen_data() {
        columns<QString>({"form"});
        for (const QueryScreenDescription &d : searchDescriptions())
            row(qPrintable(d.formName), d.formName);
    }

    void screen() {
        const QString form = text("form");
        test::RetrievalCatalogue catalogue;
        catalogue.exec("UPDATE BOOK SET 発行日 = '2024-12-28', 購入日 = '2024-12-28', "
                       "読書完了日 = '2024-12-28'");
        test::MessageRecorder messages;
        AppState::instance().subWindowFlag = 1;
        QueryScreen screen(describe(form));
        const DataGrid &view = *screen.grid();
        const QAbstractItemModel &grid = *view.model();
        // The window keeps its size, and a date is never cut short.
        QCOMPARE(screen.minimumSize(), screen.maximumSize());
        QStyleOptionViewItem cellOption;
        cellOption.initFrom(&view);
        for (int column = 0; column < grid.columnCount(); ++column) {
            const QModelIndex date = grid.index(0, column);
            if (date.data().toString().startsWith("2024/"))
                QVERIFY2(view.itemDelegateForIndex(date)->sizeHint(cellOption, date).width() <=
                             view.columnWidth(column),
                         qPrintable(grid.headerData(column, Qt::Horizontal).toString()));
        }
        QCOMPARE(grid.columnCount(), int(describe(form).columns.size()));
        QCOMPARE(grid.rowCount(), 6); // every book before any search
        QVERIFY(!(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable));
        for (QWidget *control : screen.findChildren<QWidget *>())
            if (control->isVisibleTo(&screen) && control->focusPolicy() != Qt::NoFocus &&
                control->parentWidget() == &screen)
                QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));

        // Empty input: a beep, the message, and the list as it was.
        search(screen, describe(form).inputs.front().name + "=C");
        const int before = grid.rowCount();
        search(screen, {});
        QCOMPARE(messages.beeps, 1);
        QCOMPARE(messages.texts, QStringList{describe(form).emptyInputMessage});
        QCOMPARE(grid.rowCount(), before);

        // Closing from the title bar frees the register's menu.
        screen.close();
        QCOMPARE(AppState::instance().subWindowFlag, 0);
    }

    // The filter installed is the one of the typed text (an apostrophe doubled), and matches it
    // literally and folded. Each row searches after a search that found nothing, which it replaces,
    // and finds the books as they are now: the register beside it may have `saved` some since.
    void finds_data() {
        columns<QString, QString, QString, QString, QStringList, QString>(
            {"form", "typed", "filter", "field", "expected", "saved"});
        const auto row = [](const char *name, const char *form, const char *typed,
                            const char *filter, const char *field, const QStringList &expected = {},
                            const char *saved = "") {
            test::row(name, form, typed, filter, field, expected, saved);
        };
        row("title prefix", "DAIMEIQ", "DAIMEI=こ", "題名 LIKE 'こ*' ", "SEQNO", {"1", "2"});
        row("special characters literally", "DAIMEIQ", "DAIMEI=[新版]#1 it's *",
            "題名 LIKE '[新版]#1 it''s **' ", "題名", {"[新版]#1 it's *?"});
        row("author, width and case", "CHOSHAQ", "CHOSHA=mori ", "著者名 LIKE 'mori *' ", "著者名",
            QStringList(3, "Ｍｏｒｉ　鴎外"));
        row("blanks only", "CHOSHAQ", "CHOSHA= ", "著者名 LIKE ' *' ", "著者名");
        row("number 2 only", "KANRIQ", "KANRI2=7", "(管理番号2 LIKE '7*')", "SEQNO",
            {"1", "2", "3"});
        row("call number first", "KANRIQ", "KANRI2=77;KANRI1=a;SEIKYU=c",
            "(請求番号 LIKE 'c*') AND (管理番号1 LIKE 'a*') AND (管理番号2 LIKE '77*')", "SEQNO",
            {"1"});
        row("saved meanwhile", "DAIMEIQ", "DAIMEI=z", "題名 LIKE 'z*' ", "題名", {"Zebra"},
            "UPDATE BOOK SET 題名 = 'Zebra' WHERE 題名 = 'あ'");
    }

    void finds() {
        const QString form = text("form");
        test::RetrievalCatalogue catalogue;
        catalogue.exec("INSERT INTO BOOK (SEQNO, 題名, 著者NO) VALUES "
                       "(7, '[新版]#1 it''s *?', 2), (8, '[新版]#1 its', 2)");
        test::MessageRecorder messages;
        QueryScreen screen(describe(form));
        search(screen, describe(form).inputs.front().name + QStringLiteral("=該当なし"));
        QCOMPARE(screen.grid()->model()->rowCount(), 0);
        catalogue.exec(text("saved"));
        search(screen, text("typed"));
        QTEST(screen.dataSource()->recordSet().filter(), "filter");
        QStringList found = shown(*screen.grid()->model(), text("field"));
        found.sort();
        QTEST(found, "expected");
        QCOMPARE(messages.texts, QStringList());
    }

    // Unread are books stamped "未" (blanks after it or not), with an empty stamp or none.
    void unreadList() {
        test::RetrievalCatalogue catalogue;
        test::MessageRecorder messages;
        test::RegisterStandIn registerWindow;
        auto *list = new QueryScreen(unreadListDescription());
        QStringList seqnos = shown(*list->grid()->model(), "SEQNO");
        seqnos.sort();
        QCOMPARE(seqnos, (QStringList{"2", "3", "5", "6"}));
        list->close(); // from the title bar: the register is back, the menu free
        QVERIFY(registerWindow.window.isVisible());
        QCOMPARE(AppState::instance().subWindowFlag, 0);
        QCOMPARE(messages.texts, QStringList());

        // Without a catalogue the data control says so; the list stays empty and closes as ever.
        test::DataFolder empty(test::DataFolder::Empty);
        AppState::instance().subWindowFlag = 1;
        registerWindow.window.hide();
        list = new QueryScreen(unreadListDescription());
        QCOMPARE(messages.texts.size(), 1);
        QCOMPARE(messages.shownBusy, 0); // said with the normal cursor back
        QCOMPARE(list->grid()->model()->rowCount(), 0);
        list->close();
        QVERIFY(registerWindow.window.isVisible());
        QCOMPARE(AppState::instance().subWindowFlag, 0);
    }
};

QTEST_MAIN(TestSearches)
#include "tst_searches.moc"
