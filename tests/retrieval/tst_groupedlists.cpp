// The three grouped lists as the user sees them: one parent at a time, re-read, an empty or
// unreadable catalogue, a window made very small, and the register's return.
#include "RetrievalFixture.h"

#include "core/AppState.h"
#include "db/ShapedRecordSet.h"
#include "retrieval/GroupedList.h"
#include "support/MessageRecorder.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/Twips.h"
#include "widgets/WindowNames.h"
#include "widgets/WindowRegistry.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>

using namespace hondana;

namespace {

// Stands in for the register: the lists show it again when they close.
struct RegisterStandIn {
    QWidget window;
    RegisterStandIn() {
        WindowRegistry::instance().registerFactory(windows::Register, [this] { return &window; });
        AppState::instance().subWindowFlag = 1;
    }
};

QString parentName(const GroupedList &list) {
    return list.findChild<QLineEdit *>(QStringLiteral("txtFields(1)"))->text();
}

} // namespace

class TestGroupedLists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void browse_data();
    void browse();
    void emptyAndUnreadable();
};

void TestGroupedLists::browse_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("booksOfSecond");
    QTest::newRow("by category") << "BUNYA2"
                                 << "技術"
                                 << "小説" << 3;
    QTest::newRow("by author") << "CHOSHA2"
                               << "Ｍｏｒｉ　鴎外"
                               << "夏目漱石" << 2;
    QTest::newRow("by publisher") << "HAKKO2"
                                  << "ｼﾝﾁｮｳ社"
                                  << "岩波書店" << 2;
}

void TestGroupedLists::browse() {
    QFETCH(QString, form);
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(int, booksOfSecond);
    test::RetrievalCatalogue catalogue;
    test::MessageRecorder messages;
    RegisterStandIn registerWindow;
    const GroupedListDescription *description = nullptr;
    for (const GroupedListDescription &d : groupedListDescriptions())
        if (d.formName == form)
            description = &d;
    auto *list = new GroupedList(*description);
    list->show();
    DataNavigator *navigator = list->navigator();
    QCOMPARE(navigator->caption(), QStringLiteral("Record: 1"));
    QCOMPARE(parentName(*list), first);
    QVERIFY(list->findChild<QLineEdit *>(QStringLiteral("txtFields(1)"))->isReadOnly());
    QVERIFY(list->dataSource()->moveNext());
    QCOMPARE(navigator->caption(), QStringLiteral("Record: 2"));
    QCOMPARE(parentName(*list), second);
    QCOMPARE(list->grid()->model()->rowCount(), booksOfSecond);
    const QAbstractItemModel &grid = *list->grid()->model();
    QCOMPARE(grid.headerData(grid.columnCount() - 1, Qt::Horizontal).toString(),
             list->records().relatingKey());
    QVERIFY(!(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable));

    // The grid takes the window's width; a window too small keeps the last height that fitted.
    list->resize(twips::size(6000, 4000));
    QCOMPARE(list->grid()->width(), list->width());
    const int fitted = list->grid()->height();
    QVERIFY(fitted > 0);
    list->resize(twips::size(3000, 600));
    QCOMPARE(list->grid()->height(), fitted);
    QVERIFY(list->findChild<QPushButton *>(QStringLiteral("cmdClose"))->geometry().bottom() <
            list->height());

    // Re-read shows what changed meanwhile, from the first parent on.
    catalogue.exec(QStringLiteral("UPDATE BUNYA SET 分野名 = '技術書' WHERE 分野NO = 2;"
                                  "UPDATE CHOSHA SET 著者名 = '森鴎外' WHERE 著者NO = 1;"
                                  "UPDATE HAKKOU SET 発行所 = '新潮社' WHERE 発行所NO = 5"));
    list->findChild<QPushButton *>(QStringLiteral("cmdRefresh"))->click();
    QCOMPARE(navigator->caption(), QStringLiteral("Record: 1"));
    QVERIFY(parentName(*list) != first);
    QCOMPARE(messages.texts, QStringList());

    list->close(); // from the title bar, as by 閉じる(&C)
    QVERIFY(registerWindow.window.isVisible());
    QCOMPARE(AppState::instance().subWindowFlag, 0);
}

void TestGroupedLists::emptyAndUnreadable() {
    const GroupedListDescription &byAuthor = groupedListDescriptions().at(1);
    {
        test::RetrievalCatalogue catalogue;
        catalogue.exec(QStringLiteral("DELETE FROM CHOSHA"));
        test::MessageRecorder messages;
        RegisterStandIn registerWindow;
        GroupedList list(byAuthor);
        list.show();
        QCOMPARE(list.navigator()->caption(), QStringLiteral("Record: "));
        QCOMPARE(list.grid()->model()->rowCount(), 0);
        QCOMPARE(messages.texts, QStringList());
        QCOMPARE(AppState::instance().subWindowFlag, 1);
    }
    {
        test::DataFolder folder(test::DataFolder::Empty); // no catalogue at all
        test::MessageRecorder messages;
        RegisterStandIn registerWindow;
        auto *list = new GroupedList(byAuthor);
        list->show();
        QCOMPARE(messages.texts.size(), 2); // the navigator's error event, then the list's own
        QVERIFY(messages.texts.front().startsWith(DataSource::ErrorPrefix));
        QCOMPARE(messages.texts.back(), messages.texts.front().mid(DataSource::ErrorPrefix.size()));
        QCOMPARE(AppState::instance().subWindowFlag, 0);
        QCOMPARE(list->grid()->model()->rowCount(), 0);
        list->close();
        QVERIFY(registerWindow.window.isVisible());
    }
}

QTEST_MAIN(TestGroupedLists)
#include "tst_groupedlists.moc"
