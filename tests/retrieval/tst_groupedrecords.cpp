// The grouped lists' commands run through the grouped record set, without a window.
#include "RetrievalFixture.h"

#include "base/Failure.h"
#include "db/Connection.h"
#include "db/ShapedRecordSet.h"
#include "retrieval/GroupedListDescription.h"

#include <QtTest>

using namespace hondana;

namespace {

const QString ShapeConnection = QStringLiteral(
    "PROVIDER=MSDataShape;Data PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=TOSHO.mdb;");

const GroupedListDescription &describe(const QString &form) {
    for (const GroupedListDescription &d : groupedListDescriptions())
        if (d.formName == form)
            return d;
    qFatal("no list %s", qPrintable(form));
}

// "key: title,title | key: ..." for every parent in order.
QString chapters(ShapedRecordSet &set, const QString &key) {
    QStringList parts;
    RecordSet &parents = set.parentRows();
    for (int p = 1; p <= parents.recordCount(); ++p) {
        parents.moveTo(p);
        QStringList titles;
        for (const int row : set.chapter()) {
            const QVariant title = set.childRows().valueAt(row, QStringLiteral("題名"));
            titles << (title.isNull()               ? QStringLiteral("(null)")
                       : title.toString().isEmpty() ? QStringLiteral("(empty)")
                                                    : title.toString());
        }
        parts << parents.value(key).toString() + QStringLiteral(": ") + titles.join(u',');
    }
    return parts.join(QStringLiteral(" | "));
}

} // namespace

class TestGroupedRecords : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void joinsAndOrder_data();
    void joinsAndOrder();
    void unreadableCommand();
};

void TestGroupedRecords::joinsAndOrder_data() {
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    // Categories as stored, outer join (the missing author's book stays), titled books only,
    // then title and volume; authors and publishers by number, inner joins (the missing
    // author's book and the book of a missing category are gone), untitled books listed.
    QTest::newRow("by category") << "BUNYA2"
                                 << "分野NO"
                                 << "2: (empty) | 1: あ,こころ,こころ | 3: ";
    QTest::newRow("by author") << "CHOSHA2"
                               << "著者NO"
                               << "1: (null),(empty) | 2: こころ,こころ";
    QTest::newRow("by publisher") << "HAKKO2"
                                  << "発行所NO"
                                  << "5: (null),(empty) | 10: こころ,こころ";
}

void TestGroupedRecords::joinsAndOrder() {
    QFETCH(QString, form);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    test::RetrievalCatalogue catalogue;
    Connection connection(ShapeConnection);
    RecordSet parents;
    ShapedRecordSet set(parents);
    set.open(connection, describe(form).shapeCommand);
    QCOMPARE(set.chapterName(), QStringLiteral("ChildCMD"));
    QCOMPARE(chapters(set, key), expected);
    // Within a category or an author the volumes of one title follow their running numbers.
    if (form != QStringLiteral("HAKKO2")) {
        QList<qint64> volumes;
        for (int p = 1; p <= set.parentRows().recordCount(); ++p) {
            set.parentRows().moveTo(p);
            for (const int row : set.chapter())
                if (set.childRows().valueAt(row, QStringLiteral("題名")) ==
                    QStringLiteral("こころ"))
                    volumes << set.childRows().valueAt(row, QStringLiteral("SEQNO")).toLongLong();
        }
        QCOMPARE(volumes, (QList<qint64>{1, 2}));
    }
    // The book of the missing author shows an empty name, under its category only.
    set.parentRows().moveTo(2);
    if (form == QStringLiteral("BUNYA2"))
        QVERIFY(set.childRows().valueAt(set.chapter().front(), QStringLiteral("著者名")).isNull());
}

void TestGroupedRecords::unreadableCommand() {
    const struct {
        QString text;
        QString complaint;
    } cases[] = {
        {QStringLiteral("SHAPE {select 1} AS P"), QStringLiteral("APPEND")},
        {QStringLiteral("SHAPE {select 1 AS P APPEND"), QStringLiteral("}")},
        {QStringLiteral("SHAPE {select 1} AS P APPEND ({select 2} AS C RELATE a b) AS C"),
         QStringLiteral("TO")},
        {QStringLiteral("select 分野NO from BUNYA"), QStringLiteral("SHAPE")},
    };
    for (const auto &c : cases) {
        try {
            ShapeCommand::parse(c.text);
            QFAIL(qPrintable(c.text));
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(QStringLiteral("一覧の命令")) &&
                         failure.message().contains(c.complaint),
                     qPrintable(failure.message()));
        }
    }
    // A relating column the child command does not deliver is refused, and the set stays shut.
    test::RetrievalCatalogue catalogue;
    Connection connection(ShapeConnection);
    RecordSet parents;
    ShapedRecordSet set(parents);
    QVERIFY_THROWS_EXCEPTION(
        Failure, set.open(connection, QStringLiteral("SHAPE {select 分野NO from BUNYA} AS P APPEND "
                                                     "({select 題名 from BOOK} AS C RELATE 分野NO "
                                                     "TO 分野NO) AS ChildCMD")));
    QVERIFY(!set.isOpen());
}

QTEST_GUILESS_MAIN(TestGroupedRecords)
#include "tst_groupedrecords.moc"
