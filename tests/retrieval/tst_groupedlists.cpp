// The three grouped lists: the join and order rules of their commands, one parent at a time,
// re-read, an empty or unreadable catalogue, the register's return.
#include "RetrievalFixture.h"

#include "core/AppState.h"
#include "db/ShapedRecordSet.h"
#include "retrieval/GroupedList.h"
#include "support/Controls.h"
#include "support/DataRows.h"
#include "support/MessageRecorder.h"
#include "widgets/DataNavigator.h"
#include "widgets/DataSource.h"
#include "widgets/Twips.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QTableView>
#include <QtTest>

using namespace hondana;

namespace {

const GroupedListDescription &describe(const QString &form) {
    for (const GroupedListDescription &d : groupedListDescriptions())
        if (d.formName == form)
            return d;
    qFatal("no list %s", qPrintable(form));
}

// "parent: title#volume,... | parent: ..." over every parent in order; volumes only `numbered`.
QString chapters(GroupedList &list, bool numbered) {
    QStringList parts;
    DataSource &source = *list.dataSource();
    const RecordSet &books = list.records().childRows();
    for (int p = 1; p <= source.recordSet().recordCount(); ++p) {
        source.moveTo(p);
        QStringList titles;
        for (const int row : list.records().chapter()) {
            const QVariant title = books.valueAt(row, "題名");
            titles << (title.isNull() ? "(null)" : title.toString()) +
                          (numbered ? u'#' + books.valueAt(row, "SEQNO").toString() : QString());
        }
        parts << test::control<QLineEdit>(&list, "txtFields(0)")->text() + u':' + titles.join(u',');
    }
    return parts.join(" | ");
}

QString parentName(GroupedList &list) {
    return test::control<QLineEdit>(&list, "txtFields(1)")->text();
}

} // namespace

class TestGroupedLists : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void browse_data() {
        test::columns<QString, QString>({"form", "expected"});
        // Categories as stored; outer join (the missing author's book stays, with no name); titled
        // books only; by title, then volume. Authors and publishers by number; inner joins (the
        // missing author's book and the book of a missing category are gone); untitled books
        // listed; publishers' volumes of one title in no set order.
        test::row("by category", "BUNYA2", "2:#5 | 1:あ#3,こころ#1,こころ#2 | 3:");
        test::row("by author", "CHOSHA2", "1:(null)#4,#5 | 2:こころ#1,こころ#2");
        test::row("by publisher", "HAKKO2", "5:(null), | 10:こころ,こころ");
    }

    void browse() {
        const QString form = test::text("form");
        test::RetrievalCatalogue catalogue;
        test::MessageRecorder messages;
        test::RegisterStandIn registerWindow;
        auto *list = new GroupedList(describe(form));
        list->show();
        QAbstractItemModelTester tester(list->grid()->model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(list->navigator()->caption(), "Record: 1");
        const QString first = parentName(*list);
        QTEST(chapters(*list, form != "HAKKO2"), "expected");
        QCOMPARE(list->navigator()->caption(),
                 QStringLiteral("Record: %1").arg(list->dataSource()->recordSet().recordCount()));
        QVERIFY(test::control<QLineEdit>(list, "txtFields(1)")->isReadOnly());
        if (form == "BUNYA2") {
            list->dataSource()->moveTo(2);
            const QAbstractItemModel &grid = *list->grid()->model();
            QCOMPARE(grid.index(0, 4).data().toString(), QString()); // author 99 has no name
            QVERIFY(!(grid.flags(grid.index(0, 0)) & Qt::ItemIsEditable));
        }

        // The grid reaches the window's right edge, not past it, so its scroll bar shows.
        list->resize(twips::size(6000, 4000));
        QCOMPARE(list->grid()->geometry().right(), list->rect().right());

        // Re-read shows what changed meanwhile, from the first parent on.
        catalogue.exec("UPDATE BUNYA SET 分野名 = 'x'; UPDATE CHOSHA SET 著者名 = 'x';"
                       "UPDATE HAKKOU SET 発行所 = 'x'");
        test::click(list, "cmdRefresh");
        QCOMPARE(list->navigator()->caption(), "Record: 1");
        QCOMPARE(parentName(*list), "x");
        QVERIFY(first != "x");
        QCOMPARE(messages.texts, QStringList());

        list->close(); // from the title bar, as by 閉じる(&C)
        QVERIFY(registerWindow.window.isVisible());
        QCOMPARE(AppState::instance().subWindowFlag, 0);
    }

    // An empty list names no position; nor does a re-read that fails, over the fields it emptied.
    void emptyAndUnreadable() {
        {
            test::RetrievalCatalogue catalogue;
            catalogue.exec("DELETE FROM CHOSHA");
            test::MessageRecorder messages;
            test::RegisterStandIn registerWindow;
            GroupedList list(describe("CHOSHA2"));
            list.show();
            QCOMPARE(list.navigator()->caption(), "Record: ");
            QCOMPARE(list.grid()->model()->rowCount(), 0);
            QCOMPARE(messages.texts, QStringList());
            QCOMPARE(AppState::instance().subWindowFlag, 1);
            catalogue.exec("INSERT INTO CHOSHA (著者NO) VALUES (1)");
            list.reread();
            QCOMPARE(list.navigator()->caption(), "Record: 1");
            catalogue.exec("DROP TABLE CHOSHA");
            list.reread();
            QCOMPARE(messages.texts.size(), 1);
            QCOMPARE(list.navigator()->caption(), "Record: ");
            QCOMPARE(messages.shownBusy, 0);
        }
        {
            test::DataFolder folder(test::DataFolder::Empty); // no catalogue at all
            test::MessageRecorder messages;
            test::RegisterStandIn registerWindow;
            auto *list = new GroupedList(describe("CHOSHA2"));
            list->show();
            QCOMPARE(messages.texts.size(), 2); // the navigator's error event, then the list's own
            QCOMPARE(messages.texts.front(), DataSource::ErrorPrefix + messages.texts.back());
            QCOMPARE(AppState::instance().subWindowFlag, 0);
            list->close();
            QVERIFY(registerWindow.window.isVisible());
        }
    }
};

QTEST_MAIN(TestGroupedLists)
#include "tst_groupedlists.moc"
