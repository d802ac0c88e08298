#include "base/Failure.h"
#include "db/InputParsing.h"

#include <QtTest>

using namespace hondana;

Q_DECLARE_METATYPE(schema::Kind)

class TestInputParsing : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void parseByKind_data();
    void parseByKind();
    void format_data();
    void format();
};

namespace {
const QVariant Refused = QStringLiteral("<refused>");
QVariant number(qint64 n) {
    return QVariant::fromValue<qint64>(n);
}
} // namespace

void TestInputParsing::parseByKind_data() {
    QTest::addColumn<schema::Kind>("kind");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QVariant>("expected");
    const auto I = schema::Kind::Integer;
    const auto D = schema::Kind::Date;
    const auto T = schema::Kind::Text;
    QTest::newRow("plain number") << I << "1500" << number(1500);
    QTest::newRow("grouped number") << I << "1,500" << number(1500);
    QTest::newRow("millions") << I << "1,234,567" << number(1234567);
    QTest::newRow("full-width digits and comma") << I << "１，５００" << number(1500);
    QTest::newRow("full-width minus") << I << "－３" << number(-3);
    QTest::newRow("plus sign") << I << "+7" << number(7);
    QTest::newRow("blanks around, full-width too") << I << "　42 " << number(42);
    QTest::newRow("leading zeros") << I << "00012" << number(12);
    QTest::newRow("32-bit maximum") << I << "2,147,483,647" << number(2147483647);
    QTest::newRow("32-bit minimum") << I << "-2147483648" << number(-2147483648LL);
    QTest::newRow("one above 32 bits") << I << "2147483648" << Refused;
    QTest::newRow("one below 32 bits") << I << "-2147483649" << Refused;
    QTest::newRow("far beyond 64 bits") << I << "99999999999999999999999" << Refused;
    QTest::newRow("bad grouping") << I << "12,34" << Refused;
    QTest::newRow("grouping of four") << I << "1,5000" << Refused;
    QTest::newRow("fraction") << I << "1.5" << Refused;
    QTest::newRow("text in a number") << I << "abc" << Refused;
    QTest::newRow("Japanese text in a number") << I << "千円" << Refused;
    QTest::newRow("date in a number") << I << "2024/04/01" << Refused;
    QTest::newRow("empty number is null") << I << "" << QVariant();
    QTest::newRow("blank number is null") << I << "　" << QVariant();

    QTest::newRow("yyyy/MM/dd") << D << "2024/04/01" << QVariant(QDate(2024, 4, 1));
    QTest::newRow("yyyy/M/d") << D << "2024/4/1" << QVariant(QDate(2024, 4, 1));
    QTest::newRow("yyyyMMdd") << D << "20240401" << QVariant(QDate(2024, 4, 1));
    QTest::newRow("full-width date") << D << "２０２４／０４／０１" << QVariant(QDate(2024, 4, 1));
    QTest::newRow("full-width compact date")
        << D << "２０２４０４０１" << QVariant(QDate(2024, 4, 1));
    QTest::newRow("dashes") << D << "2024-04-01" << QVariant(QDate(2024, 4, 1));
    QTest::newRow("day zero of the old engine")
        << D << "1899/12/30" << QVariant(QDate(1899, 12, 30));
    QTest::newRow("leap day") << D << "2024/02/29" << QVariant(QDate(2024, 2, 29));
    QTest::newRow("no leap day") << D << "2023/02/29" << Refused;
    QTest::newRow("February 30") << D << "2024/02/30" << Refused;
    QTest::newRow("month 13") << D << "2024/13/01" << Refused;
    QTest::newRow("compact impossible") << D << "20240230" << Refused;
    QTest::newRow("year zero") << D << "0000/01/01" << Refused;
    QTest::newRow("number in a date") << D << "12345" << Refused;
    QTest::newRow("grouped number in a date") << D << "1,500" << Refused;
    QTest::newRow("mixed separators") << D << "2024/04-01" << Refused;
    QTest::newRow("trailing slash") << D << "2024/4/1/" << Refused;
    QTest::newRow("text in a date") << D << "きのう" << Refused;
    QTest::newRow("empty date is null") << D << "" << QVariant();

    QTest::newRow("text as typed") << T << " 吾輩は猫である " << QVariant(" 吾輩は猫である ");
    QTest::newRow("digits stay text") << T << "１２３" << QVariant("１２３");
    QTest::newRow("empty text is null") << T << "" << QVariant();
}

void TestInputParsing::parseByKind() {
    QFETCH(schema::Kind, kind);
    QFETCH(QString, typed);
    QFETCH(QVariant, expected);
    const QString field = QStringLiteral("価格");
    if (expected == Refused) {
        try {
            input::parse(typed, kind, field);
            QFAIL("the input was accepted");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(QStringLiteral("「価格」")),
                     qPrintable(failure.message()));
        }
        return;
    }
    const QVariant parsed = input::parse(typed, kind, field);
    QCOMPARE(parsed.isNull(), expected.isNull());
    if (!expected.isNull()) {
        QCOMPARE(parsed, expected);
        // What is shown can be typed back.
        const QString shown = input::format(
            parsed, kind == schema::Kind::Integer ? input::NumberFormat : input::DateFormat);
        QCOMPARE(input::parse(shown, kind, field), parsed);
    }
}

void TestInputParsing::format_data() {
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("expected");
    QTest::newRow("grouped") << number(1234567) << "#,##0"
                             << "1,234,567";
    QTest::newRow("three digits") << number(999) << "#,##0"
                                  << "999";
    QTest::newRow("four digits") << number(1000) << "#,##0"
                                 << "1,000";
    QTest::newRow("zero") << number(0) << "#,##0"
                          << "0";
    QTest::newRow("negative") << number(-1234) << "#,##0"
                              << "-1,234";
    QTest::newRow("minimum") << number(-2147483648LL) << "#,##0"
                             << "-2,147,483,648";
    QTest::newRow("general number") << number(1234567) << ""
                                    << "1234567";
    QTest::newRow("date") << QVariant(QDate(2024, 4, 1)) << "yyyy/MM/dd"
                          << "2024/04/01";
    QTest::newRow("date without format") << QVariant(QDate(1899, 12, 30)) << ""
                                         << "1899/12/30";
    QTest::newRow("stored date text") << QVariant("2024-04-01") << "yyyy/MM/dd"
                                      << "2024/04/01";
    QTest::newRow("null") << QVariant() << "#,##0"
                          << "";
    QTest::newRow("text") << QVariant("abc") << "#,##0"
                          << "abc";
}

void TestInputParsing::format() {
    QFETCH(QVariant, value);
    QFETCH(QString, format);
    QFETCH(QString, expected);
    QCOMPARE(input::format(value, format), expected);
}

QTEST_GUILESS_MAIN(TestInputParsing)
#include "tst_inputparsing.moc"
