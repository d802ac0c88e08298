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
    QTest::newRow("case folds") << "題名 LIKE 'abc*'" << QVariant("ABCDEF") << none << true;
    QTest::newRow("full-width letters")
        << "題名 LIKE 'ＡＢＣ*'" << QVariant("abcd") << none << true;
    QTest::newRow("full-width lower case")
        << "題名 LIKE 'ａｂ*'" << QVariant("ＡＢ") << none << true;
    QTest::newRow("full-width digits") << "題名 LIKE '１２*'" << QVariant("123") << none << true;
    QTest::newRow("half-width kana, voiced")
        << "題名 LIKE 'ﾃﾞｰﾀ*'" << QVariant("データベース") << none << true;
    QTest::newRow("full-width finds half-width")
        << "題名 LIKE 'パン*'" << QVariant("ﾊﾟﾝの本") << none << true;
    QTest::newRow("hiragana finds katakana")
        << "題名 LIKE 'ほん*'" << QVariant("ホン") << none << true;
    QTest::newRow("hiragana finds half-width")
        << "題名 LIKE 'ほん*'" << QVariant("ﾎﾝﾀﾞﾅ") << none << true;
    QTest::newRow("voiced is not unvoiced")
        << "題名 LIKE 'ﾃﾀ*'" << QVariant("データ") << none << false;
    QTest::newRow("ideographic blank") << "題名 LIKE 'a b*'" << QVariant("ａ　ｂ") << none << true;
    QTest::newRow("kanji exactly") << "題名 LIKE '猫*'" << QVariant("描く") << none << false;
    QTest::newRow("apostrophe doubled")
        << "題名 LIKE 'it''s*'" << QVariant("it's here") << none << true;
    QTest::newRow("asterisk inside is itself")
        << "題名 LIKE 'a*b*'" << QVariant("a*bc") << none << true;
    QTest::newRow("asterisk inside matches no other")
        << "題名 LIKE 'a*b*'" << QVariant("axbc") << none << false;
    QTest::newRow("question mark is itself") << "題名 LIKE '?*'" << QVariant("x") << none << false;
    QTest::newRow("hash is itself") << "題名 LIKE '#1*'" << QVariant("#1 本") << none << true;
    QTest::newRow("hash matches no digit") << "題名 LIKE '#*'" << QVariant("1") << none << false;
    QTest::newRow("brackets are themselves")
        << "題名 LIKE '[a]*'" << QVariant("[a]b") << none << true;
    QTest::newRow("bracket class is not a class")
        << "題名 LIKE '[ab]*'" << QVariant("a") << none << false;
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

// What a user types ends up between apostrophes and must match itself, whatever it holds.
void TestFilter::prefixCondition_data() {
    QTest::addColumn<QString>("typed");
    QTest::newRow("plain") << "吾輩";
    QTest::newRow("blank") << "a b";
    QTest::newRow("apostrophes") << "it's '' '";
    QTest::newRow("wildcards") << "*?#%[a-z]!";
    QTest::newRow("ends in an asterisk") << "a*";
    QTest::newRow("syntax words") << "x' OR 題名 LIKE 'y";
}

void TestFilter::prefixCondition() {
    QFETCH(QString, typed);
    const FilterExpression filter =
        FilterExpression::parse(FilterExpression::prefixCondition(QStringLiteral("題名"), typed));
    QCOMPARE(filter.columns(), QStringList{QStringLiteral("題名")});
    QVERIFY(matchRow(filter, QVariant(typed + QStringLiteral("続き")), {}));
    QVERIFY(!matchRow(filter, QVariant(QStringLiteral("前") + typed), {}));
    QVERIFY(!matchRow(filter, QVariant(typed.chopped(1) + QStringLiteral("_")), {}));
}

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
