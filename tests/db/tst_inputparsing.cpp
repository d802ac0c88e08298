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
        const struct {
            const char *field;
            QVariant value, expected;
            QString outcome;
        } rows[] = {
            {"価格", "－３", number(-3), "-3"},
            {"価格", "+7", number(7), "7"},
            {"価格", "　42 ", number(42), "42"},
            {"価格", "-2147483648", number(-2147483648LL), "-2,147,483,648"},
            {"価格", number(2147483647), number(2147483647), "2,147,483,647"},
            {"価格", 3.0, number(3), "3"},
            {"価格", number(2147483648LL), {}, "「価格」" + range},
            {"価格", QVariant(quint64(1) << 63), {}, "「価格」" + range},
            {"価格", "99999999999999999999999", {}, "「価格」"},
            {"価格", 1.5, {}, "「価格」には整数を入れてください。"},
            {"価格", "1,5000", {}, "「価格」"},
            {"発行日", "２０２４／０４／０１", QDate(2024, 4, 1), "2024/04/01"},
            {"発行日", QDate(), {}, "「発行日」には正しい日付"},
            {"発行日", "20240230", {}, "「発行日」"},
            {"発行日", "0000/01/01", {}, "「発行日」"},
            {"発行日", "2024/04-01", {}, "「発行日」"},
            {"題名", QString(25, u'漢'), QString(25, u'漢'), ""},
            {"題名", QString(50, u'ｱ'), QString(50, u'ｱ'), ""},
            {"題名", " 吾輩は〜猫 ", " 吾輩は〜猫 ", ""},
            {"題名", QString(49, u'a') + u'漢', {}, "「題名」は50バイト（全角25文字）までです。"}};
        for (const auto &row : rows)
            QTest::addRow("%s %s", row.field, qPrintable(row.value.toString().left(12)))
                << QString::fromUtf8(row.field) << row.value << row.expected << row.outcome;
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
