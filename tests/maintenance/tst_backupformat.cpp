#include "base/Failure.h"
#include "maintenance/BackupFormat.h"
#include "support/TestFiles.h"

#include <QtEndian>
#include <QtTest>
#include <limits>

using namespace hondana;
using backup::Layout;
using test::u8;

namespace {

const Layout &book() {
    return backup::layout(QStringLiteral("BOOK.DAT"));
}

// A BOOK row with nothing but a title: every other column null, or every text column empty.
QVariantList titleOnly(bool emptyTexts) {
    QVariantList row;
    for (const backup::Field &field : book().fields)
        row << (emptyTexts && field.kind == backup::FieldKind::Text ? QVariant(QString())
                                                                    : QVariant());
    row[0] = u8("題");
    return row;
}

QByteArray encode(const Layout &layout, const QVariantList &row, bool *written = nullptr,
                  char filler = '\xAA') {
    QByteArray record(layout.recordLength, filler);
    const bool ok = backup::encodeRecord(layout, row.constData(), record.data(), 1);
    if (written)
        *written = ok;
    return record;
}

QVariantList decode(const QByteArray &record, qint64 number = 1) {
    QVariantList values;
    backup::decodeRecord(book(), record.constData(), number, values);
    return values;
}

QByteArray golden(const char *name) {
    return QByteArray::fromHex(test::contents(QStringLiteral(HONDANA_GOLDEN_DIR "/") + name));
}

// A BOOK row with every column set; `changes` replaces some of them.
QVariantList bookRow(const QHash<QString, QVariant> &changes = {}) {
    const QHash<QString, QVariant> base = {
        {u8("題名"), u8("銀河鉄道の夜")},
        {u8("SEQNO"), 2},
        {u8("著者NO"), 17},
        {u8("全体NO"), 300},
        {u8("ｼﾘｰｽﾞ"), u8("上巻")},
        {u8("発行所NO"), 5},
        {u8("発行日"), u8("1899-12-31")},
        {u8("購入日"), u8("2001-02-03")},
        {u8("版数"), 4},
        {u8("分野NO"), 6},
        {u8("ｻｲｽﾞNO"), 7},
        {u8("読書ｽﾀﾝﾌﾟ"), u8("済")},
        {u8("管理番号1"), u8("A-1")},
        {u8("管理番号2"), u8("B-2")},
        {u8("内容"), u8("ｶﾀｶﾅとかな")},
        {u8("価格"), 1500},
        {u8("請求番号"), u8("913.6")},
        {u8("購入先"), u8("駅前書店")},
        {u8("読書完了日"), u8("2020-01-01")},
        {u8("読感ﾗﾝｸ"), -1},
    };
    QVariantList row;
    for (const backup::Field &field : book().fields)
        row << changes.value(field.column, base.value(field.column));
    return row;
}

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

QByteArray blanks(int n) {
    return QByteArray(n, ' ');
}

int column(const char *name) {
    return int(book().columns().indexOf(u8(name)));
}

} // namespace

class TestBackupFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void wholeBookRecords_data();
    void wholeBookRecords();
    void masterRecords_data();
    void masterRecords();
    void fieldValues_data();
    void fieldValues();
    void rowsLeftOut_data();
    void rowsLeftOut();
    void dates_data();
    void dates();
};

// The two golden records fix every byte of the format: each field at its offset, in its width
// and byte order, and what an empty value becomes.
void TestBackupFormat::wholeBookRecords_data() {
    QTest::addColumn<QVariantList>("row");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("every column set") << bookRow() << golden("book-full.hex");
    QTest::newRow("nothing but a title") << titleOnly(false) << golden("book-null.hex");
    QTest::newRow("empty texts are written as nulls") << titleOnly(true) << golden("book-null.hex");
}

void TestBackupFormat::wholeBookRecords() {
    QFETCH(QVariantList, row);
    QFETCH(QByteArray, bytes);
    QCOMPARE(bytes.size(), book().recordLength);
    bool written = false;
    QCOMPARE(encode(book(), row, &written).toHex(' '), bytes.toHex(' '));
    QVERIFY(written);
    // What was in the buffer before never shows through.
    QCOMPARE(encode(book(), row, nullptr, '\x55'), bytes);
    // Read back, the record writes itself again byte for byte.
    QCOMPARE(encode(book(), decode(bytes)), bytes);
}

void TestBackupFormat::masterRecords_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QVariantList>("row");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("BUNYA key 3, SF") << QStringLiteral("BUNYA.DAT") << QVariantList{3, u8("SF")}
                                     << hex("030000005346") + blanks(48);
    QTest::newRow("CHOSHA") << QStringLiteral("CHOSHA.DAT")
                            << QVariantList{-1, u8("夏目"), u8("日本")}
                            << hex("ffffffff") + hex("89c496da") + blanks(46) + hex("93fa967b") +
                                   blanks(46);
    QTest::newRow("HAKKO is the file of HAKKOU")
        << QStringLiteral("HAKKO.DAT") << QVariantList{256, u8("ｱｵｿﾞﾗ")}
        << hex("00010000") + hex("b1b5bfde d7") + blanks(45);
    QTest::newRow("SAIZU") << QStringLiteral("SAIZU.DAT") << QVariantList{12, u8("文庫")}
                           << hex("0c000000") + hex("95b68cc9") + blanks(26);
    QTest::newRow("master with an empty name is written with blanks")
        << QStringLiteral("CHOSHA.DAT") << QVariantList{9, QVariant(), QString()}
        << hex("09000000") + blanks(100);
}

void TestBackupFormat::masterRecords() {
    QFETCH(QString, file);
    QFETCH(QVariantList, row);
    QFETCH(QByteArray, bytes);
    const Layout &layout = backup::layout(file);
    bool written = false;
    const QByteArray record = encode(layout, row, &written);
    QVERIFY(written);
    QCOMPARE(layout.recordLength, bytes.size());
    QCOMPARE(record.toHex(' '), bytes.toHex(' '));
}

// One column's value and the bytes its field gets; an empty `bytes` means the value is refused,
// by file and column. Texts are cut to whole characters, whole numbers are 32 bits with a
// fraction rounded half to even, and the reading stamp has rules of its own.
void TestBackupFormat::fieldValues_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *name, const char *column, const QVariant &value,
                  const QByteArray &bytes) { QTest::newRow(name) << u8(column) << value << bytes; };
    const char *stamp = "読書ｽﾀﾝﾌﾟ";
    row("stamp * is 済", stamp, u8("*"), hex("8dcf2020"));
    row("stamp 未 stays", stamp, u8("未"), hex("96a22020"));
    row("padded 未 from a restore stays", stamp, u8("未  "), hex("96a22020"));
    row("stamp ** is another value", stamp, u8("**"), "**  ");
    row("blank stamp is another value", stamp, u8(" "), "    ");
    row("longer stamp is cut to 4 bytes", stamp, u8("読了中"), hex("93c797b9"));
    row("30 kanji keep 25", "題名", QString(30, QChar(0x672C)), hex("967b").repeated(25));
    row("dangling lead byte becomes a blank", "題名", u8("a") + QString(30, QChar(0x672C)),
        "a" + hex("967b").repeated(24) + " ");
    row("60 ascii keep 50", "題名", QString(60, 'x'), QByteArray(50, 'x'));
    row("half-width katakana are single bytes", "題名", QString(50, QChar(0xFF71)),
        hex("b1").repeated(50));
    row("2.5 rounds to 2", "価格", 2.5, hex("02000000"));
    row("3.5 rounds to 4", "価格", 3.5, hex("04000000"));
    row("-2.5 rounds to -2", "価格", -2.5, hex("feffffff"));
    row("2.6 rounds to 3", "価格", 2.6, hex("03000000"));
    row("largest number", "価格", 2147483647LL, hex("ffffff7f"));
    row("one more is refused", "価格", 2147483648LL, {});
    row("one less than the smallest is refused", "価格", -2147483649LL, {});
}

void TestBackupFormat::fieldValues() {
    QFETCH(QString, column);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, bytes);
    const backup::Field &field = book().fields.at(book().columns().indexOf(column));
    try {
        const QByteArray record = encode(book(), bookRow({{column, value}}));
        QCOMPARE(record.mid(field.offset, bytes.size()).toHex(' '), bytes.toHex(' '));
        QVERIFY(!bytes.isEmpty());
    } catch (const Failure &failure) {
        QVERIFY2(bytes.isEmpty(), qPrintable(failure.message()));
        QVERIFY2(failure.message().contains(u8("BOOK.DAT")), qPrintable(failure.message()));
        QVERIFY2(failure.message().contains(column), qPrintable(failure.message()));
    }
}

void TestBackupFormat::rowsLeftOut_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<QVariantList>("row");
    QTest::addColumn<bool>("written");
    QTest::newRow("book without title")
        << QStringLiteral("BOOK.DAT") << bookRow({{u8("題名"), QVariant()}}) << false;
    QTest::newRow("book with empty title")
        << QStringLiteral("BOOK.DAT") << bookRow({{u8("題名"), QString()}}) << false;
    QTest::newRow("book with a blank title is kept")
        << QStringLiteral("BOOK.DAT") << bookRow({{u8("題名"), u8(" ")}}) << true;
    QTest::newRow("category without number")
        << QStringLiteral("BUNYA.DAT") << QVariantList{QVariant(), u8("SF")} << false;
    QTest::newRow("author without number")
        << QStringLiteral("CHOSHA.DAT") << QVariantList{QVariant(), u8("夏目"), u8("日本")}
        << false;
    QTest::newRow("publisher without number")
        << QStringLiteral("HAKKO.DAT") << QVariantList{QVariant(), u8("社")} << false;
    QTest::newRow("size without number")
        << QStringLiteral("SAIZU.DAT") << QVariantList{QVariant(), u8("文庫")} << false;
    QTest::newRow("size number 0 is a number")
        << QStringLiteral("SAIZU.DAT") << QVariantList{0, QVariant()} << true;
}

void TestBackupFormat::rowsLeftOut() {
    QFETCH(QString, file);
    QFETCH(QVariantList, row);
    QFETCH(bool, written);
    bool ok = !written;
    const QByteArray record = encode(backup::layout(file), row, &ok);
    QCOMPARE(ok, written);
    if (!written)
        QCOMPARE(record, QByteArray(record.size(), '\xAA'));
}

// A date is a day count from 1899-12-30 with the time of day as its fraction; one outside the
// years 1 to 9999 is refused, naming the file, the record and the column.
void TestBackupFormat::dates_data() {
    QTest::addColumn<double>("days");
    QTest::addColumn<QDate>("date"); // invalid: refused
    QTest::newRow("day 0") << 0.0 << QDate(1899, 12, 30);
    QTest::newRow("time of day is cut") << 1.75 << QDate(1899, 12, 31);
    QTest::newRow("before day 0 the fraction is a time too") << -1.5 << QDate(1899, 12, 29);
    QTest::newRow("first day") << -693593.0 << QDate(1, 1, 1);
    QTest::newRow("last day") << 2958465.0 << QDate(9999, 12, 31);
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << QDate();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity() << QDate();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity() << QDate();
    QTest::newRow("after 9999") << 2958466.0 << QDate();
    QTest::newRow("before year 1") << -693594.0 << QDate();
    QTest::newRow("huge") << 1e300 << QDate();
}

void TestBackupFormat::dates() {
    QFETCH(double, days);
    QFETCH(QDate, date);
    QByteArray record = golden("book-full.hex");
    qToLittleEndian<double>(days, record.data() + 312);
    try {
        QCOMPARE(decode(record, 7).at(column("読書完了日")).toDate(), date);
        QVERIFY(date.isValid());
    } catch (const Failure &failure) {
        QVERIFY2(!date.isValid(), qPrintable(failure.message()));
        for (const char *part : {"BOOK.DAT", " 7 ", "読書完了日"})
            QVERIFY2(failure.message().contains(u8(part)), qPrintable(failure.message()));
    }
}

QTEST_GUILESS_MAIN(TestBackupFormat)
#include "tst_backupformat.moc"
