#include "base/Failure.h"
#include "db/InputParsing.h"
#include "db/ValueChecks.h"
#include "support/DataRows.h"

#include <QtTest>

using namespace hondana;

namespace {

QVariant outcomeOf(const std::function<QVariant()> &check) try {
    return check();
} catch (const Failure &failure) {
    return failure.message();
}

} // namespace

class TestInputParsing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A typed text (from a bound text box) and an assigned value (from a screen) pass the same
    // checks of the column's kind, and a typed text gives the same result both ways.
    void acceptsValues_data() {
        // `expected` invalid: refused; `outcome` how an accepted value is shown, else the refusal
        test::columns<QString, QVariant, QVariant, QString>(
            {"field", "value", "expected", "outcome"});
        const auto number = [](qint64 n) { return QVariant::fromValue<qint64>(n); };
        const QString range = "は -2,147,483,648 から 2,147,483,647 までの整数";
        const auto row = [](const char *field, const QVariant &value, const QVariant &expected,
                            const QString &outcome) {
            QTest::addRow("%s %s", field, qPrintable(value.toString().left(12)))
                << QString::fromUtf8(field) << value << expected << outcome;
        };
        row("価格", "－３", number(-3), "-3");
        row("価格", "+7", number(7), "7");
        row("価格", "　42 ", number(42), "42");
        row("価格", "-2147483648", number(-2147483648LL), "-2,147,483,648");
        row("価格", number(2147483647), number(2147483647), "2,147,483,647");
        row("価格", 3.0, number(3), "3");
        row("価格", number(2147483648LL), {}, "「価格」" + range);
        row("価格", QVariant(quint64(1) << 63), {}, "「価格」" + range);
        row("価格", "99999999999999999999999", {}, "「価格」");
        row("価格", 1.5, {}, "「価格」には整数を入れてください。");
        row("価格", "1,5000", {}, "「価格」");
        row("発行日", "２０２４／０４／０１", QDate(2024, 4, 1), "2024/04/01");
        row("発行日", QDate(), {}, "「発行日」には正しい日付");
        row("発行日", "20240230", {}, "「発行日」");
        row("発行日", "0000/01/01", {}, "「発行日」");
        row("発行日", "2024/04-01", {}, "「発行日」");
        row("題名", QString(25, u'漢'), QString(25, u'漢'), "");
        row("題名", QString(50, u'ｱ'), QString(50, u'ｱ'), "");
        row("題名", " 吾輩は〜猫 ", " 吾輩は〜猫 ", "");
        row("題名", QString(49, u'a') + u'漢', {}, "「題名」は50バイト（全角25文字）までです。");
    }

    void acceptsValues() {
        QFETCH(QString, field);
        QFETCH(QVariant, value);
        QFETCH(QVariant, expected);
        QFETCH(QString, outcome);
        const schema::Kind kind = schema::findColumn(field)->kind;
        const QVariant checked = outcomeOf([&] { return values::checked(value, kind, field); });
        if (expected.isValid())
            QCOMPARE(checked, expected.isNull() ? QVariant() : expected);
        else
            QVERIFY2(checked.toString().startsWith(outcome), qPrintable(checked.toString()));
        if (value.typeId() != QMetaType::QString || kind == schema::Kind::Text)
            return;
        QCOMPARE(outcomeOf([&] { return input::parse(value.toString(), kind, field); }), checked);
        if (!expected.isValid())
            return; // what is shown of an accepted value can be typed back
        const QString shown = input::format(
            checked, kind == schema::Kind::Integer ? input::NumberFormat : input::DateFormat);
        QCOMPARE(shown, outcome);
        QCOMPARE(input::parse(shown, kind, field), checked);
    }

    void formatsWhatIsNotTyped() {
        QCOMPARE(input::format(QDate(1899, 12, 30), ""), "1899/12/30");
        QCOMPARE(input::format("2024-04-01", input::DateFormat), "2024/04/01");
        QVERIFY(input::parse("", schema::Kind::Text, "題名").isNull());
    }
};

QTEST_GUILESS_MAIN(TestInputParsing)
#include "tst_inputparsing.moc"
