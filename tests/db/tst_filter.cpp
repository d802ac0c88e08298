#include "base/Failure.h"
#include "db/FilterExpression.h"

#include <QtTest>

using namespace hondana;

class TestFilter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void matches_data();
    void matches();
    void refused_data();
    void refused();
    void prefixCondition_data();
    void prefixCondition();
};

namespace {
// Rows of two columns, 題名 and 著者名, as the searches filter them.
bool matchRow(const FilterExpression &filter, const QVariant &title, const QVariant &author) {
    const QStringList columns = filter.columns();
    return filter.matches(
        [&](int i) { return columns.at(i) == QStringLiteral("題名") ? title : author; });
}
} // namespace

void TestFilter::matches_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QVariant>("title");
    QTest::addColumn<QVariant>("author");
    QTest::addColumn<bool>("expected");
    const QVariant none;
    QTest::newRow("prefix") << "題名 LIKE '吾輩*'" << QVariant("吾輩は猫である") << none << true;
    QTest::newRow("not a prefix") << "題名 LIKE '猫*'" << QVariant("吾輩は猫である") << none
                                  << false;
    QTest::newRow("whole value") << "題名 LIKE 'abc'" << QVariant("abc") << none << true;
    QTest::newRow("whole value, longer") << "題名 LIKE 'abc'" << QVariant("abcd") << none << false;
    QTest::newRow("ASCII case folds") << "題名 LIKE 'abc*'" << QVariant("ABCDEF") << none << true;
    QTest::newRow("full-width case does not")
        << "題名 LIKE 'ａｂ*'" << QVariant("ＡＢ") << none << false;
    QTest::newRow("kana width matters") << "題名 LIKE 'ｱ*'" << QVariant("ア") << none << false;
    QTest::newRow("percent wildcard") << "題名 LIKE 'ab%'" << QVariant("abc") << none << true;
    QTest::newRow("empty prefix passes text") << "題名 LIKE '*'" << QVariant("") << none << true;
    QTest::newRow("null never matches") << "題名 LIKE '*'" << none << none << false;
    QTest::newRow("number as text")
        << "題名 LIKE '12*'" << QVariant::fromValue<qint64>(123) << none << true;
    QTest::newRow("AND both") << "題名 LIKE 'a*' AND 著者名 LIKE 'b*'" << QVariant("ax")
                              << QVariant("bx") << true;
    QTest::newRow("AND one fails")
        << "題名 LIKE 'a*' AND 著者名 LIKE 'b*'" << QVariant("ax") << QVariant("cx") << false;
    QTest::newRow("lower-case keywords")
        << "題名 like 'a*' and 著者名 like 'b*'" << QVariant("A") << QVariant("B") << true;
    QTest::newRow("parentheses") << "((題名 LIKE 'a*') AND (著者名 LIKE 'b*'))" << QVariant("a")
                                 << QVariant("b") << true;
    QTest::newRow("bracketed column") << "[題名] LIKE 'x*'" << QVariant("xyz") << none << true;
    QTest::newRow("empty expression") << "" << none << none << true;
    QTest::newRow("blank inside the text")
        << "題名 LIKE 'a b*'" << QVariant("a bc") << none << true;
}

void TestFilter::matches() {
    QFETCH(QString, expression);
    QFETCH(QVariant, title);
    QFETCH(QVariant, author);
    QFETCH(bool, expected);
    const FilterExpression filter = FilterExpression::parse(expression);
    QCOMPARE(matchRow(filter, title, author), expected);
}

void TestFilter::refused_data() {
    QTest::addColumn<QString>("expression");
    QTest::newRow("apostrophe in the text") << "題名 LIKE 'it's*'";
    QTest::newRow("wildcard inside") << "題名 LIKE 'a*b'";
    QTest::newRow("wildcard first") << "題名 LIKE '*a'";
    QTest::newRow("equals") << "題名 = 'a'";
    QTest::newRow("OR") << "題名 LIKE 'a*' OR 著者名 LIKE 'b*'";
    QTest::newRow("open parenthesis") << "(題名 LIKE 'a*'";
    QTest::newRow("close parenthesis") << "題名 LIKE 'a*')";
    QTest::newRow("no column") << "LIKE 'a*'";
    QTest::newRow("no quotes") << "題名 LIKE a*";
    QTest::newRow("unclosed quote") << "題名 LIKE 'abc";
    QTest::newRow("dangling AND") << "題名 LIKE 'a*' AND";
}

void TestFilter::refused() {
    QFETCH(QString, expression);
    QVERIFY_THROWS_EXCEPTION(Failure, FilterExpression::parse(expression));
}

void TestFilter::prefixCondition_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("plain") << "吾輩" << true;
    QTest::newRow("blank") << "a b" << true;
    QTest::newRow("empty lists everything") << "" << true;
    QTest::newRow("apostrophe") << "it's" << false;
    QTest::newRow("asterisk") << "a*b" << false;
    QTest::newRow("percent") << "100%" << false;
}

void TestFilter::prefixCondition() {
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    const QString column = QStringLiteral("題名");
    if (!accepted) {
        QVERIFY_THROWS_EXCEPTION(Failure, FilterExpression::prefixCondition(column, typed));
        return;
    }
    const FilterExpression filter =
        FilterExpression::parse(FilterExpression::prefixCondition(column, typed));
    QVERIFY(matchRow(filter, QVariant(typed + QStringLiteral("続き")), {}));
    QVERIFY(!matchRow(filter, QVariant(QStringLiteral("前") + typed + QStringLiteral("x")), {}) ||
            typed.isEmpty());
}

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
