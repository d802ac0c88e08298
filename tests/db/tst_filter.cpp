#include "base/Failure.h"
#include "db/FilterExpression.h"
#include "support/DataRows.h"

#include <QtTest>

using namespace hondana;
using namespace hondana::test;

namespace {
// Rows of two columns, 題名 and 著者名, as the searches filter them.
bool matchRow(const FilterExpression &filter, const QVariant &title, const QVariant &author = {}) {
    const QStringList columns = filter.columns();
    return filter.matches([&](int i) { return columns.at(i) == "題名" ? title : author; });
}
} // namespace

class TestFilter : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void matches_data() {
        columns<QString, QVariant, QVariant, bool>({"expression", "title", "author", "expected"});
        const auto row = [](const char *name, const char *expression, const QVariant &title,
                            bool expected, const QVariant &author = {}) {
            test::row(name, expression, title, author, expected);
        };
        row("prefix", "題名 LIKE '吾輩*'", "吾輩は猫である", true);
        row("not a prefix", "題名 LIKE '猫*'", "吾輩は猫である", false);
        row("whole value, longer", "題名 LIKE 'abc'", "abcd", false);
        row("case folds", "題名 LIKE 'abc*'", "ABCDEF", true);
        row("full-width letters", "題名 LIKE 'ＡＢＣ*'", "abcd", true);
        row("half-width kana, voiced", "題名 LIKE 'ﾃﾞｰﾀ*'", "データベース", true);
        row("full-width finds half-width", "題名 LIKE 'パン*'", "ﾊﾟﾝの本", true);
        row("hiragana finds katakana", "題名 LIKE 'ほん*'", "ホン", true);
        row("voiced is not unvoiced", "題名 LIKE 'ﾃﾀ*'", "データ", false);
        row("ideographic blank", "題名 LIKE 'a b*'", "ａ　ｂ", true);
        row("apostrophe doubled", "題名 LIKE 'it''s*'", "it's here", true);
        row("asterisk inside is itself", "題名 LIKE 'a*b*'", "a*bc", true);
        row("asterisk inside matches no other", "題名 LIKE 'a*b*'", "axbc", false);
        row("question mark is itself", "題名 LIKE '?*'", "x", false);
        row("hash matches no digit", "題名 LIKE '#*'", "1", false);
        row("bracket class is not a class", "題名 LIKE '[ab]*'", "a", false);
        row("percent wildcard", "題名 LIKE 'ab%'", "abc", true);
        row("empty prefix passes text", "題名 LIKE '*'", "", true);
        row("null never matches", "題名 LIKE '*'", {}, false);
        row("number as text", "題名 LIKE '12*'", QVariant::fromValue<qint64>(123), true);
        row("AND one fails", "題名 LIKE 'a*' AND 著者名 LIKE 'b*'", "ax", false, "cx");
        row("lower-case keywords", "題名 like 'a*' and 著者名 like 'b*'", "A", true, "B");
        row("parentheses", "((題名 LIKE 'a*') AND (著者名 LIKE 'b*'))", "a", true, "b");
        row("bracketed column", "[題名] LIKE 'x*'", "xyz", true);
        row("empty expression", "", {}, true);
    }

    void matches() {
        QTEST(matchRow(FilterExpression::parse(text("expression")), cell<QVariant>("title"),
                       cell<QVariant>("author")),
              "expected");
    }

    void refused_data() {
        columns<QString>({"expression"});
        row("apostrophe in the text", "題名 LIKE 'it's*'");
        row("equals", "題名 = 'a'");
        row("OR", "題名 LIKE 'a*' OR 著者名 LIKE 'b*'");
        row("open parenthesis", "(題名 LIKE 'a*'");
        row("no column", "LIKE 'a*'");
        row("unclosed quote", "題名 LIKE 'abc");
        row("dangling AND", "題名 LIKE 'a*' AND");
    }

    void refused() {
        QVERIFY_THROWS_EXCEPTION(Failure, FilterExpression::parse(text("expression")));
    }

    // What a user types ends up between apostrophes and must match itself, whatever it holds.
    void literal_data() {
        columns<QString>({"typed"});
        row("plain", "吾輩");
        row("apostrophes", "it's '' '");
        row("wildcards", "*?#%[a-z]!");
        row("ends in an asterisk", "a*");
        row("syntax words", "x' OR 題名 LIKE 'y");
    }

    void literal() {
        const QString typed = text("typed");
        const FilterExpression filter = FilterExpression::parse(
            QStringLiteral("題名 LIKE '%1*'").arg(FilterExpression::literal(typed)));
        QCOMPARE(filter.columns(), QStringList{"題名"});
        QVERIFY(matchRow(filter, typed + QStringLiteral("続き")));
        QVERIFY(!matchRow(filter, QStringLiteral("前") + typed));
        QVERIFY(!matchRow(filter, typed.chopped(1) + QStringLiteral("_")));
    }
};

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
