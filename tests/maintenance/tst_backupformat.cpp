#include "base/Failure.h"
#include "maintenance/BackupFormat.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <QtTest>
#include <cmath>
#include <limits>

using namespace hondana;
using backup::Layout;
using test::u8;

namespace {

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
    for (const backup::Field &field : backup::layout(QStringLiteral("BOOK.DAT")).fields)
        row << changes.value(field.column, base.value(field.column));
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

const Layout &book() {
    return backup::layout(QStringLiteral("BOOK.DAT"));
}

QByteArray hex(const char *text) {
    return QByteArray::fromHex(text);
}

QByteArray blanks(int n) {
    return QByteArray(n, ' ');
}

} // namespace

class TestBackupFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void bookFieldsAtTheirOffsets_data();
    void bookFieldsAtTheirOffsets();
    void masterRecords_data();
    void masterRecords();
    void emptyValueSubstitutions_data();
    void emptyValueSubstitutions();
    void readingStamp_data();
    void readingStamp();
    void rowsLeftOut_data();
    void rowsLeftOut();
    void cutsDoubleByteText_data();
    void cutsDoubleByteText();
    void numbersOutside32BitsAreRefused();
    void fractionalNumbersRoundHalfToEven_data();
    void fractionalNumbersRoundHalfToEven();
    void readsBackWhatItWrote();
    void readsDates_data();
    void readsDates();
    void refusesImpossibleDates_data();
    void refusesImpossibleDates();
    void readerIgnoresTrailingFragment_data();
    void readerIgnoresTrailingFragment();
};

void TestBackupFormat::bookFieldsAtTheirOffsets_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *column, int offset, const QByteArray &bytes) {
        QTest::newRow(column) << u8(column) << offset << bytes;
    };
    row("題名", 0, hex("8be289cd935393b982cc96e9") + blanks(38));
    row("SEQNO", 50, hex("02000000"));
    row("著者NO", 54, hex("11000000"));
    row("全体NO", 58, hex("2c010000"));
    row("ｼﾘｰｽﾞ", 62, hex("8fe38aaa") + blanks(6));
    row("発行所NO", 72, hex("05000000"));
    row("発行日", 76, hex("000000000000f03f")); // 1899-12-31 is day 1.0
    row("購入日", 84, hex("00000000a007e240")); // 2001-02-03 is day 36925
    row("版数", 92, hex("04000000"));
    row("分野NO", 96, hex("06000000"));
    row("ｻｲｽﾞNO", 100, hex("07000000"));
    row("読書ｽﾀﾝﾌﾟ", 104, hex("8dcf2020"));
    row("管理番号1", 108, "A-1" + blanks(17));
    row("管理番号2", 128, "B-2" + blanks(17));
    row("内容", 148, hex("b6c0b6c582c682a982c8") + blanks(90));
    row("価格", 248, hex("dc050000"));
    row("請求番号", 252, "913.6" + blanks(15));
    row("購入先", 272, hex("8977914f8f919358") + blanks(32));
    row("読書完了日", 312, hex("00000000e066e540")); // 2020-01-01 is day 43831
    row("読感ﾗﾝｸ", 320, hex("ffffffff"));
}

void TestBackupFormat::bookFieldsAtTheirOffsets() {
    QFETCH(QString, column);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    bool written = false;
    const QByteArray record = encode(book(), bookRow(), &written);
    QVERIFY(written);
    QCOMPARE(record.size(), 324);
    QCOMPARE(record.mid(offset, bytes.size()).toHex(' '), bytes.toHex(' '));
    // Together the fields cover the whole record: what was there before does not show through.
    QCOMPARE(encode(book(), bookRow(), nullptr, '\x55'), record);
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

void TestBackupFormat::emptyValueSubstitutions_data() {
    QTest::addColumn<QString>("column");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *column, int offset, const QByteArray &bytes) {
        QTest::newRow(column) << u8(column) << offset << bytes;
    };
    row("SEQNO", 50, hex("01000000"));
    row("著者NO", 54, hex("00000000"));
    row("全体NO", 58, hex("01000000"));
    row("ｼﾘｰｽﾞ", 62, blanks(10));
    row("発行所NO", 72, hex("00000000"));
    row("発行日", 76, hex("0000000000000000"));
    row("購入日", 84, hex("0000000000000000"));
    row("版数", 92, hex("00000000"));
    row("分野NO", 96, hex("00000000"));
    row("ｻｲｽﾞNO", 100, hex("00000000"));
    row("読書ｽﾀﾝﾌﾟ", 104, hex("96a22020"));
    row("管理番号1", 108, blanks(20));
    row("管理番号2", 128, blanks(20));
    row("内容", 148, blanks(100));
    row("価格", 248, hex("00000000"));
    row("請求番号", 252, blanks(20));
    row("購入先", 272, blanks(40));
    row("読書完了日", 312, hex("0000000000000000"));
    row("読感ﾗﾝｸ", 320, hex("00000000"));
}

void TestBackupFormat::emptyValueSubstitutions() {
    QFETCH(QString, column);
    QFETCH(int, offset);
    QFETCH(QByteArray, bytes);
    const QByteArray asNull = encode(book(), bookRow({{column, QVariant()}}));
    QCOMPARE(asNull.mid(offset, bytes.size()).toHex(' '), bytes.toHex(' '));
    if (backup::layout(QStringLiteral("BOOK.DAT")).fields.at(0).column == column)
        return;
    const bool isText = bytes.startsWith(' ') || column == u8("読書ｽﾀﾝﾌﾟ");
    if (isText) {
        const QByteArray asEmptyText = encode(book(), bookRow({{column, QString()}}));
        QCOMPARE(asEmptyText.mid(offset, bytes.size()).toHex(' '), bytes.toHex(' '));
    }
}

void TestBackupFormat::readingStamp_data() {
    QTest::addColumn<QVariant>("stamp");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("null is 未") << QVariant() << hex("96a22020");
    QTest::newRow("empty is 未") << QVariant(QString()) << hex("96a22020");
    QTest::newRow("* is 済") << QVariant(u8("*")) << hex("8dcf2020");
    QTest::newRow("未 stays") << QVariant(u8("未")) << hex("96a22020");
    QTest::newRow("済 stays") << QVariant(u8("済")) << hex("8dcf2020");
    QTest::newRow("padded 未 from a restore stays") << QVariant(u8("未  ")) << hex("96a22020");
    QTest::newRow("** is another value") << QVariant(u8("**")) << QByteArray("**  ");
    QTest::newRow("blank is another value") << QVariant(u8(" ")) << QByteArray("    ");
    QTest::newRow("longer value is cut to 4 bytes") << QVariant(u8("読了中")) << hex("93c797b9");
}

void TestBackupFormat::readingStamp() {
    QFETCH(QVariant, stamp);
    QFETCH(QByteArray, bytes);
    const QByteArray record = encode(book(), bookRow({{u8("読書ｽﾀﾝﾌﾟ"), stamp}}));
    QCOMPARE(record.mid(104, 4).toHex(' '), bytes.toHex(' '));
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
    QTest::newRow("book with nothing but a title") << QStringLiteral("BOOK.DAT") << [] {
        QVariantList row(book().fields.size());
        row[0] = u8("題");
        return row;
    }() << true;
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

void TestBackupFormat::cutsDoubleByteText_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("readBack");
    QTest::newRow("30 kanji keep 25") << QString(30, QChar(0x672C)) << QString(25, QChar(0x672C));
    QTest::newRow("dangling lead byte becomes a blank")
        << QStringLiteral("a") + QString(30, QChar(0x672C))
        << QStringLiteral("a") + QString(24, QChar(0x672C)) + QStringLiteral(" ");
    QTest::newRow("60 ascii keep 50")
        << QString(60, QLatin1Char('x')) << QString(50, QLatin1Char('x'));
    QTest::newRow("half-width katakana are single bytes")
        << QString(50, QChar(0xFF71)) << QString(50, QChar(0xFF71));
    QTest::newRow("short title comes back padded")
        << u8("夜") << u8("夜") + QString(48, QLatin1Char(' '));
}

void TestBackupFormat::cutsDoubleByteText() {
    QFETCH(QString, title);
    QFETCH(QString, readBack);
    const QByteArray record = encode(book(), bookRow({{u8("題名"), title}}));
    QVariantList values;
    backup::decodeRecord(book(), record.constData(), 1, values);
    QCOMPARE(values.at(0).toString(), readBack);
}

void TestBackupFormat::numbersOutside32BitsAreRefused() {
    for (const qlonglong value : {2147483648LL, -2147483649LL}) {
        try {
            encode(book(), bookRow({{u8("価格"), value}}));
            QFAIL("a number outside 32 bits was written");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(u8("BOOK.DAT")), qPrintable(failure.message()));
            QVERIFY2(failure.message().contains(u8("価格")), qPrintable(failure.message()));
        }
    }
    const QByteArray record = encode(book(), bookRow({{u8("価格"), 2147483647LL}}));
    QCOMPARE(record.mid(248, 4).toHex(), QByteArray("ffffff7f"));
}

void TestBackupFormat::fractionalNumbersRoundHalfToEven_data() {
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("written");
    QTest::newRow("2.5") << 2.5 << 2;
    QTest::newRow("3.5") << 3.5 << 4;
    QTest::newRow("-2.5") << -2.5 << -2;
    QTest::newRow("2.6") << 2.6 << 3;
}

void TestBackupFormat::fractionalNumbersRoundHalfToEven() {
    QFETCH(double, value);
    QFETCH(int, written);
    const QByteArray record = encode(book(), bookRow({{u8("価格"), value}}));
    QVariantList values;
    backup::decodeRecord(book(), record.constData(), 1, values);
    QCOMPARE(values.at(15).toInt(), written);
}

void TestBackupFormat::readsBackWhatItWrote() {
    const QByteArray record = encode(book(), bookRow());
    QVariantList values;
    backup::decodeRecord(book(), record.constData(), 1, values);
    const QStringList columns = book().columns();
    auto value = [&](const char *column) { return values.at(columns.indexOf(u8(column))); };
    QCOMPARE(value("題名").toString(), u8("銀河鉄道の夜") + QString(38, QLatin1Char(' ')));
    QCOMPARE(value("SEQNO").toInt(), 2);
    QCOMPARE(value("全体NO").toInt(), 300);
    QCOMPARE(value("読感ﾗﾝｸ").toInt(), -1);
    QCOMPARE(value("発行日").toDate(), QDate(1899, 12, 31));
    QCOMPARE(value("購入日").toDate(), QDate(2001, 2, 3));
    QCOMPARE(value("読書ｽﾀﾝﾌﾟ").toString(), u8("済  "));
    QCOMPARE(value("内容").toString(), u8("ｶﾀｶﾅとかな") + QString(90, QLatin1Char(' ')));
}

void TestBackupFormat::readsDates_data() {
    QTest::addColumn<double>("days");
    QTest::addColumn<QDate>("date");
    QTest::newRow("day 0") << 0.0 << QDate(1899, 12, 30);
    QTest::newRow("day 1") << 1.0 << QDate(1899, 12, 31);
    QTest::newRow("time of day is cut") << 1.75 << QDate(1899, 12, 31);
    QTest::newRow("before day 0 the fraction is a time too") << -1.5 << QDate(1899, 12, 29);
    QTest::newRow("first day") << -693593.0 << QDate(1, 1, 1);
    QTest::newRow("last day") << 2958465.0 << QDate(9999, 12, 31);
}

void TestBackupFormat::readsDates() {
    QFETCH(double, days);
    QFETCH(QDate, date);
    QByteArray record = encode(book(), bookRow());
    qToLittleEndian<double>(days, record.data() + 76);
    QVariantList values;
    backup::decodeRecord(book(), record.constData(), 1, values);
    QCOMPARE(values.at(6).toDate(), date);
}

void TestBackupFormat::refusesImpossibleDates_data() {
    QTest::addColumn<double>("days");
    QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN();
    QTest::newRow("infinity") << std::numeric_limits<double>::infinity();
    QTest::newRow("minus infinity") << -std::numeric_limits<double>::infinity();
    QTest::newRow("after 9999") << 2958466.0;
    QTest::newRow("before year 1") << -693594.0;
    QTest::newRow("huge") << 1e300;
}

void TestBackupFormat::refusesImpossibleDates() {
    QFETCH(double, days);
    QByteArray record = encode(book(), bookRow());
    qToLittleEndian<double>(days, record.data() + 312);
    QVariantList values;
    try {
        backup::decodeRecord(book(), record.constData(), 7, values);
        QFAIL("an impossible date was read");
    } catch (const Failure &failure) {
        QVERIFY2(failure.message().contains(u8("BOOK.DAT")), qPrintable(failure.message()));
        QVERIFY2(failure.message().contains(u8(" 7 ")), qPrintable(failure.message()));
        QVERIFY2(failure.message().contains(u8("読書完了日")), qPrintable(failure.message()));
    }
}

void TestBackupFormat::readerIgnoresTrailingFragment_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("records");
    QTest::newRow("BOOK 0 bytes") << QStringLiteral("BOOK.DAT") << 0 << 0;
    QTest::newRow("BOOK 323 bytes") << QStringLiteral("BOOK.DAT") << 323 << 0;
    QTest::newRow("BOOK 648 bytes") << QStringLiteral("BOOK.DAT") << 648 << 2;
    QTest::newRow("BOOK 700 bytes") << QStringLiteral("BOOK.DAT") << 700 << 2;
    QTest::newRow("BOOK across reading blocks")
        << QStringLiteral("BOOK.DAT") << 324 * 2500 + 100 << 2500;
    QTest::newRow("SAIZU 35 bytes") << QStringLiteral("SAIZU.DAT") << 35 << 1;
}

void TestBackupFormat::readerIgnoresTrailingFragment() {
    QFETCH(QString, file);
    QFETCH(int, size);
    QFETCH(int, records);
    const Layout &layout = backup::layout(file);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QByteArray bytes(size, ' ');
    // Each record carries its number in its first field, so order and framing are checked too.
    for (int i = 0; (i + 1) * layout.recordLength <= size; ++i)
        qToLittleEndian<qint32>(i + 1, bytes.data() + i * layout.recordLength);
    {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    backup::RecordReader reader(layout, path);
    int count = 0;
    while (const char *record = reader.next()) {
        ++count;
        QCOMPARE(reader.recordNumber(), count);
        if (layout.fields.at(0).kind == backup::FieldKind::Integer)
            QCOMPARE(qFromLittleEndian<qint32>(record), count);
    }
    QCOMPARE(count, records);
    QVERIFY(!reader.next());
}

QTEST_GUILESS_MAIN(TestBackupFormat)
#include "tst_backupformat.moc"
