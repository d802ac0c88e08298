#include "base/Failure.h"
#include "maintenance/BackupFormat.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"

#include <QtEndian>
#include <QtTest>
#include <limits>

using namespace hondana;
using backup::Layout;
using namespace hondana::test;

namespace {

const Layout &book() {
    return backup::layout("BOOK.DAT");
}

// A BOOK row with nothing but a title: every other column null, or every text column empty.
QVariantList titleOnly(bool emptyTexts) {
    QVariantList row;
    for (const backup::Field &field : book().fields)
        row << (emptyTexts && field.kind == backup::FieldKind::Text ? QVariant(QString())
                                                                    : QVariant());
    row[0] = "題";
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
    // clang-format off
    const QVariantList pairs = {"題名", "銀河鉄道の夜", "SEQNO", 2, "著者NO", 17, "全体NO", 300, "ｼﾘｰｽﾞ", "上巻",
        "発行所NO", 5, "発行日", "1899-12-31", "購入日", "2001-02-03", "版数", 4, "分野NO", 6, "ｻｲｽﾞNO", 7,
        "読書ｽﾀﾝﾌﾟ", "済", "管理番号1", "A-1", "管理番号2", "B-2", "内容", "ｶﾀｶﾅとかな", "価格", 1500,
        "請求番号", "913.6", "購入先", "駅前書店", "読書完了日", "2020-01-01", "読感ﾗﾝｸ", -1};
    // clang-format on
    QHash<QString, QVariant> base;
    for (qsizetype i = 0; i < pairs.size(); i += 2)
        base.insert(pairs[i].toString(), pairs[i + 1]);
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

} // namespace

class TestBackupFormat : public QObject {
    Q_OBJECT

private Q_SLOTS:

    // The two golden records fix every byte of the format: each field at its offset, in its width
    // and byte order, and what an empty value becomes.
    void wholeBookRecords_data() {
        columns<QVariantList, QByteArray>({"row", "bytes"});
        row("every column set", bookRow(), golden("book-full.hex"));
        row("nothing but a title", titleOnly(false), golden("book-null.hex"));
        row("empty texts are written as nulls", titleOnly(true), golden("book-null.hex"));
    }

    void wholeBookRecords() {
        const QVariantList row = cell<QVariantList>("row");
        const QByteArray bytes = cell<QByteArray>("bytes");
        QCOMPARE(bytes.size(), book().recordLength);
        bool written = false;
        QCOMPARE(encode(book(), row, &written).toHex(' '), bytes.toHex(' '));
        QVERIFY(written);
        // What was in the buffer before never shows through.
        QCOMPARE(encode(book(), row, nullptr, '\x55'), bytes);
        // Read back, the record writes itself again byte for byte.
        QCOMPARE(encode(book(), decode(bytes)), bytes);
    }

    // Master records byte for byte, and rows that are left out of the file (`written` false):
    // the buffer is not touched for them. Empty `bytes` of a written row are not compared.
    void records_data() {
        columns<QString, QVariantList, bool, QByteArray>({"file", "row", "written", "bytes"});
        auto row = [](const char *name, const char *file, const QVariantList &values, bool written,
                      const QByteArray &bytes = {}) {
            test::row(name, file, values, written, bytes);
        };
        row("CHOSHA", "CHOSHA.DAT", {-1, "夏目", "日本"}, true,
            hex("ffffffff89c496da") + blanks(46) + hex("93fa967b") + blanks(46));
        row("HAKKO is the file of HAKKOU", "HAKKO.DAT", {256, "ｱｵｿﾞﾗ"}, true,
            hex("00010000b1b5bfded7") + blanks(45));
        row("master with an empty name is written with blanks", "CHOSHA.DAT",
            {9, QVariant(), QString()}, true, hex("09000000") + blanks(100));
        row("size number 0 is a number", "SAIZU.DAT", {0, QVariant()}, true,
            hex("00000000") + blanks(30));
        row("book with a blank title is kept", "BOOK.DAT", bookRow({{"題名", " "}}), true);
        row("book without title", "BOOK.DAT", bookRow({{"題名", QVariant()}}), false);
        row("book with empty title", "BOOK.DAT", bookRow({{"題名", QString()}}), false);
        row("size without number", "SAIZU.DAT", {QVariant(), "文庫"}, false);
    }

    void records() {
        const bool written = cell<bool>("written");
        const QByteArray bytes = cell<QByteArray>("bytes");
        bool ok = !written;
        const QByteArray record =
            encode(backup::layout(text("file")), cell<QVariantList>("row"), &ok);
        QCOMPARE(ok, written);
        if (!written)
            QCOMPARE(record, QByteArray(record.size(), '\xAA'));
        else if (!bytes.isEmpty())
            QCOMPARE(record.toHex(' '), bytes.toHex(' '));
    }

    // One column's value and the bytes its field gets; an empty `bytes` means the value is refused,
    // by file and column. Whole numbers are 32 bits with a fraction rounded half to even, and the
    // reading stamp has rules of its own.
    void fieldValues_data() {
        columns<QString, QVariant, QByteArray>({"column", "value", "bytes"});
        auto row = [](const char *name, const char *column, const QVariant &value,
                      const QByteArray &bytes) { test::row(name, column, value, bytes); };
        const char *stamp = "読書ｽﾀﾝﾌﾟ";
        row("stamp * is 済", stamp, "*", hex("8dcf2020"));
        row("stamp 未 stays", stamp, "未", hex("96a22020"));
        row("padded 未 from a restore stays", stamp, "未  ", hex("96a22020"));
        row("stamp ** is another value", stamp, "**", "**  ");
        row("longer stamp is cut to 4 bytes", stamp, "読了中", hex("93c797b9"));
        row("2.5 rounds to 2", "価格", 2.5, hex("02000000"));
        row("3.5 rounds to 4", "価格", 3.5, hex("04000000"));
        row("largest number", "価格", 2147483647LL, hex("ffffff7f"));
        row("one more is refused", "価格", 2147483648LL, {});
        row("one less than the smallest is refused", "価格", -2147483649LL, {});
    }

    void fieldValues() {
        const QString column = text("column");
        const QByteArray bytes = cell<QByteArray>("bytes");
        const backup::Field &field = book().fields.at(book().columns().indexOf(column));
        try {
            const QByteArray record = encode(book(), bookRow({{column, cell<QVariant>("value")}}));
            QCOMPARE(record.mid(field.offset, bytes.size()).toHex(' '), bytes.toHex(' '));
            QVERIFY(!bytes.isEmpty());
        } catch (const Failure &failure) {
            QVERIFY2(bytes.isEmpty(), qPrintable(failure.message()));
            QVERIFY2(failure.message().contains("BOOK.DAT"), qPrintable(failure.message()));
            QVERIFY2(failure.message().contains(column), qPrintable(failure.message()));
        }
    }

    // A date is a day count from 1899-12-30 with the time of day as its fraction; one outside the
    // years 1 to 9999 is refused, naming the file, the record and the column.
    void dates_data() {
        columns<double, QDate>({"days", "date"}); // an invalid date: refused
        row("day 0", 0.0, QDate(1899, 12, 30));
        row("time of day is cut", 1.75, QDate(1899, 12, 31));
        row("before day 0 the fraction is a time too", -1.5, QDate(1899, 12, 29));
        row("first day", -693593.0, QDate(1, 1, 1));
        row("last day", 2958465.0, QDate(9999, 12, 31));
        row("NaN", std::numeric_limits<double>::quiet_NaN(), QDate());
        row("before year 1", -693594.0, QDate());
    }

    void dates() {
        const QDate date = cell<QDate>("date");
        QByteArray record = golden("book-full.hex");
        qToLittleEndian<double>(cell<double>("days"), record.data() + 312);
        try {
            QCOMPARE(decode(record, 7).at(book().columns().indexOf("読書完了日")).toDate(), date);
            QVERIFY(date.isValid());
        } catch (const Failure &failure) {
            QVERIFY2(!date.isValid(), qPrintable(failure.message()));
            for (const char *part : {"BOOK.DAT", " 7 ", "読書完了日"})
                QVERIFY2(failure.message().contains(u8(part)), qPrintable(failure.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestBackupFormat)
#include "tst_backupformat.moc"
