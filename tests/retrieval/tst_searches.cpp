// The three searches and the unread list: the filter each search installs, what it finds, and
// the screens' behaviour around it.
#include "RetrievalFixture.h"

#include "core/AppState.h"
#include "retrieval/QueryScreen.h"
#include "support/MessageRecorder.h"
#include "widgets/DataGrid.h"
#include "widgets/DataSource.h"
#include "widgets/WindowNames.h"
#include "widgets/WindowRegistry.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace hondana;

namespace {

const QueryScreenDescription &describe(const QString &form) {
    for (const QueryScreenDescription &d : searchDescriptions())
        if (d.formName == form)
            return d;
    qFatal("no search %s", qPrintable(form));
}

// What was typed, by box name ("KANRI1=12;KANRI2=7"), in the description's order of inputs.
QStringList typedInto(const QueryScreenDescription &d, const QString &boxes) {
    QStringList typed;
    for (const SearchInput &input : d.inputs) {
        QString text;
        for (const QString &box : boxes.split(u';'))
            if (box.startsWith(input.name + u'='))
                text = box.mid(input.name.size() + 1);
        typed << text;
    }
    return typed;
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
    for (const QString &box : boxes.split(u';', Qt::SkipEmptyParts)) {
        const QString name = box.section(u'=', 0, 0);
        auto *input = screen.findChild<QLineEdit *>(name);
        QVERIFY2(input, qPrintable(name));
        input->setText(box.section(u'=', 1));
    }
    screen.findChild<QPushButton *>(QStringLiteral("Command1"))->click();
}

} // namespace

class TestSearches : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void filterText_data();
    void filterText();
    void screen_data();
    void screen();
    void finds_data();
    void finds();
    void unreadList();
};

void TestSearches::filterText_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("expected");
    QTest::newRow("title") << "DAIMEIQ"
                           << "DAIMEI=ABC"
                           << "題名 LIKE 'ABC*' ";
    QTest::newRow("author") << "CHOSHAQ"
                            << "CHOSHA=森"
                            << "著者名 LIKE '森*' ";
    QTest::newRow("blanks only") << "DAIMEIQ"
                                 << "DAIMEI=  "
                                 << "題名 LIKE '  *' ";
    QTest::newRow("apostrophe doubled") << "CHOSHAQ"
                                        << "CHOSHA=O'Brien"
                                        << "著者名 LIKE 'O''Brien*' ";
    QTest::newRow("wildcards as typed") << "DAIMEIQ"
                                        << "DAIMEI=*?#[]%"
                                        << "題名 LIKE '*?#[]%*' ";
    QTest::newRow("title empty") << "DAIMEIQ"
                                 << ""
                                 << "";
    QTest::newRow("number 2 only") << "KANRIQ"
                                   << "KANRI2=7"
                                   << "(管理番号2 LIKE '7*')";
    QTest::newRow("numbers 1 and 2") << "KANRIQ"
                                     << "KANRI2=7;KANRI1=12"
                                     << "(管理番号1 LIKE '12*') AND (管理番号2 LIKE '7*')";
    QTest::newRow("call number first")
        << "KANRIQ"
        << "KANRI1=1;KANRI2=2;SEIKYU=C"
        << "(請求番号 LIKE 'C*') AND (管理番号1 LIKE '1*') AND (管理番号2 LIKE '2*')";
    QTest::newRow("call number and 2") << "KANRIQ"
                                       << "KANRI2=2;SEIKYU=C"
                                       << "(請求番号 LIKE 'C*') AND (管理番号2 LIKE '2*')";
    QTest::newRow("numbers empty") << "KANRIQ"
                                   << ""
                                   << "";
}

void TestSearches::filterText() {
    QFETCH(QString, form);
    QFETCH(QString, typed);
    QFETCH(QString, expected);
    const QueryScreenDescription &d = describe(form);
    QCOMPARE(searchFilter(d, typedInto(d, typed)), expected);
}

// What every search shows on opening, and what a screen reader finds on it.
void TestSearches::screen_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<int>("columns");
    for (const QueryScreenDescription &d : searchDescriptions())
        QTest::newRow(qPrintable(d.formName)) << d.formName << int(d.columns.size());
}

void TestSearches::screen() {
    QFETCH(QString, form);
    QFETCH(int, columns);
    test::RetrievalCatalogue catalogue;
    test::MessageRecorder messages;
    AppState::instance().subWindowFlag = 1;
    QueryScreen screen(describe(form));
    const QAbstractItemModel &grid = *screen.grid()->model();
    QCOMPARE(grid.columnCount(), columns);
    QCOMPARE(grid.rowCount(), 6); // every book before any search
    QVERIFY(!(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable));
    for (QWidget *control : screen.findChildren<QWidget *>()) {
        if (control->isVisibleTo(&screen) && control->focusPolicy() != Qt::NoFocus &&
            control->parentWidget() == &screen)
            QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
    }
    const int seqno = describe(form).formName == QStringLiteral("KANRIQ") ? 7 : 6;
    QCOMPARE(grid.headerData(seqno, Qt::Horizontal).toString(), QStringLiteral("SEQNO"));
    QCOMPARE(screen.grid()->columnWidth(seqno) == 0, form == QStringLiteral("KANRIQ"));

    // Empty input: a beep, the message, and the list as it was.
    search(screen, describe(form).inputs.front().name + QStringLiteral("=C"));
    const int before = grid.rowCount();
    search(screen, {});
    QCOMPARE(messages.beeps, 1);
    QCOMPARE(messages.texts, QStringList{describe(form).emptyInputMessage});
    QCOMPARE(grid.rowCount(), before);

    // Closing from the title bar frees the register's menu.
    screen.close();
    QCOMPARE(AppState::instance().subWindowFlag, 0);
}

void TestSearches::finds_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QStringList>("expected");
    const QStringList none;
    QTest::newRow("title prefix") << "DAIMEIQ"
                                  << "DAIMEI=こ"
                                  << "SEQNO" << QStringList{"1", "2"};
    QTest::newRow("half-width katakana finds hiragana") << "DAIMEIQ"
                                                        << "DAIMEI=ｺｺﾛ"
                                                        << "SEQNO" << QStringList{"1", "2"};
    QTest::newRow("only from the first character") << "DAIMEIQ"
                                                   << "DAIMEI=ころ"
                                                   << "SEQNO" << none;
    QTest::newRow("special characters literally") << "DAIMEIQ"
                                                  << "DAIMEI=[新版]#1 it's *"
                                                  << "題名" << QStringList{"[新版]#1 it's *?"};
    QTest::newRow("wildcard matches nothing else") << "DAIMEIQ"
                                                   << "DAIMEI=*"
                                                   << "題名" << none;
    QTest::newRow("author, width and case") << "CHOSHAQ"
                                            << "CHOSHA=mori "
                                            << "著者名" << QStringList(3, "Ｍｏｒｉ　鴎外");
    QTest::newRow("blanks only") << "CHOSHAQ"
                                 << "CHOSHA= "
                                 << "著者名" << none;
    QTest::newRow("one number") << "KANRIQ"
                                << "KANRI1=A-1"
                                << "SEQNO" << QStringList{"1", "2"};
    QTest::newRow("two numbers") << "KANRIQ"
                                 << "KANRI1=１２;KANRI2=7"
                                 << "SEQNO" << QStringList{"3"};
    QTest::newRow("three numbers") << "KANRIQ"
                                   << "SEIKYU=c;KANRI1=a;KANRI2=77"
                                   << "SEQNO" << QStringList{"1"};
}

// The second search replaces the first: each row searches after a search that found nothing.
void TestSearches::finds() {
    QFETCH(QString, form);
    QFETCH(QString, typed);
    QFETCH(QString, field);
    QFETCH(QStringList, expected);
    test::RetrievalCatalogue catalogue;
    catalogue.exec(QStringLiteral("INSERT INTO BOOK (SEQNO, 題名, 著者NO) VALUES "
                                  "(7, '[新版]#1 it''s *?', 2), (8, '[新版]#1 its', 2)"));
    test::MessageRecorder messages;
    QueryScreen screen(describe(form));
    search(screen, describe(form).inputs.front().name + QStringLiteral("=該当なし"));
    QCOMPARE(screen.grid()->model()->rowCount(), 0);
    search(screen, typed);
    QStringList found = shown(*screen.grid()->model(), field);
    found.sort();
    QCOMPARE(found, expected);
    QCOMPARE(messages.texts, QStringList());
}

// Unread are books stamped "未" (blanks after it or not), with an empty stamp or none.
void TestSearches::unreadList() {
    test::RetrievalCatalogue catalogue;
    test::MessageRecorder messages;
    QWidget stand_in;
    WindowRegistry::instance().registerFactory(windows::Register, [&] { return &stand_in; });
    AppState::instance().subWindowFlag = 1;
    auto *list = new QueryScreen(unreadListDescription());
    QStringList seqnos = shown(*list->grid()->model(), QStringLiteral("SEQNO"));
    seqnos.sort();
    QCOMPARE(seqnos, (QStringList{"2", "3", "5", "6"}));
    QCOMPARE(list->dataSource()->objectName(), QStringLiteral("Adodc1"));
    list->close(); // from the title bar: the register is back, the menu free
    QVERIFY(stand_in.isVisible());
    QCOMPARE(AppState::instance().subWindowFlag, 0);
    QCOMPARE(messages.texts, QStringList());

    // Without a catalogue the data control says so; the list stays empty and closes as ever.
    test::DataFolder empty(test::DataFolder::Empty);
    AppState::instance().subWindowFlag = 1;
    stand_in.hide();
    list = new QueryScreen(unreadListDescription());
    QCOMPARE(messages.texts.size(), 1);
    QCOMPARE(list->grid()->model()->rowCount(), 0);
    list->close();
    QVERIFY(stand_in.isVisible());
    QCOMPARE(AppState::instance().subWindowFlag, 0);
}

QTEST_MAIN(TestSearches)
#include "tst_searches.moc"
