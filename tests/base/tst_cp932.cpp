#include "base/Cp932.h"
#include "base/Failure.h"
#include "support/DataRows.h"
#include "support/TestFiles.h"

#include <QtTest>

using namespace hondana;
using namespace hondana::test;

class TestCp932 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { cp932::ensureAvailable(); }

    // What is typed, the bytes written for it, what those bytes read back as (when not itself),
    // and the other codes (NEC and IBM extensions) that read back as the same character. The JIS
    // forms of characters code page 932 holds read back in their Windows forms.
    void roundTrips_data() {
        columns<QString, QByteArray, QString, QByteArrayList>(
            {"text", "bytes", "readBack", "otherCodes"});
        const QString entries = "\\ 5c;~ 7e;ｱ b1;ﾟ df;― 815c;＼ 815f;～ 8160;∥ 8161;－ 817c;"
                                "￠ 8191;￡ 8192;￥ 818f;ソ 835c;表 955c;① 8740;㈱ 878a;∵ 81e6;"
                                "￤ fa55;﨑 fab1;髙 fbfc;≒ 81e0 ≒ 8790;Ⅰ 8754 Ⅰ fa4a;"
                                "ⅰ fa40 ⅰ eeef;￢ 81ca ￢ eef9 fa54;纊 fa5c 纊 ed40;"
                                "№ 8782 № fa59;〜 8160 ～;‖ 8161 ∥;− 817c －;¢ 8191 ￠;£ 8192 ￡;"
                                "¬ 81ca ￢;— 815c ―";
        for (const QString &entry : entries.split(u';')) {
            const QStringList parts = entry.split(u' ');
            QByteArrayList others;
            for (const QString &code : parts.mid(3))
                others << QByteArray::fromHex(code.toLatin1());
            row(qPrintable(entry), parts[0], QByteArray::fromHex(parts[1].toLatin1()),
                parts.value(2, parts[0]), others);
        }
    }

    void roundTrips() {
        const QString text = test::text("text");
        const QByteArray bytes = cell<QByteArray>("bytes");
        const QString readBack = test::text("readBack");
        QCOMPARE(cp932::encode(text), bytes);
        QCOMPARE(cp932::byteLength(text), bytes.size());
        QCOMPARE(cp932::encodeField(text, bytes.size()), bytes);
        QCOMPARE(cp932::decode(bytes), readBack);
        QCOMPARE(cp932::toWindowsForms(u8("a") + text + u8("b")), u8("a") + readBack + u8("b"));
        for (const QByteArray &code : cell<QByteArrayList>("otherCodes")) {
            QCOMPARE(cp932::decode(code), readBack);
            QCOMPARE(cp932::encode(cp932::decode(code)), bytes);
        }
    }

    // A backup field never fails: a character code page 932 cannot hold becomes "?" there, while
    // everywhere else it is refused by name (`culprit`).
    void encodesFields_data() {
        columns<QString, int, QByteArray, QString>({"text", "width", "bytes", "culprit"});
        auto row = [](const char *name, const QString &text, int width, const QByteArray &bytes,
                      const QString &culprit = {}) {
            test::row(name, text, width, bytes, culprit);
        };
        row("empty gives blanks", QString(), 4, "    ");
        row("ascii padded", "SF", 6, "SF    ");
        row("ascii cut", "ABCDEFG", 4, "ABCD");
        row("half-width katakana is one byte", "ｻｲｽﾞ", 4, "\xbb\xb2\xbd\xde");
        row("kanji fill the field exactly", "本棚", 4, QByteArray::fromHex("967b9249"));
        row("dangling lead byte becomes a blank", "a本棚", 4, QByteArray::fromHex("61967b20"));
        row("cut after N characters, then N bytes", "あいうえお", 5,
            QByteArray::fromHex("82a082a220"));
        row("width 1 with kanji", "本", 1, " ");
        row("JIS wave dash in a field", QString(QChar(0x301C)), 3, QByteArray::fromHex("816020"));
        row("emoji", "😀x本", 6, "?x\x96\x7b  ", "😀");
        row("e acute", "café", 4, "caf?", "é");
        const QString surrogate(QChar(0xD800));
        row("lone surrogate", surrogate, 1, "?", surrogate);
    }

    void encodesFields() {
        const QString text = test::text("text");
        const int width = cell<int>("width");
        const QByteArray bytes = cell<QByteArray>("bytes");
        const QString culprit = test::text("culprit");
        QCOMPARE(cp932::encodeField(text, width), bytes);
        // The writer of backup files hands over the engine's UTF-8 text instead.
        QByteArray fromUtf8(width, '\0');
        cp932::encodeUtf8FieldInto(text.toUtf8(), width, fromUtf8.data());
        QCOMPARE(fromUtf8, bytes);
        if (culprit.isEmpty())
            return;
        QString unencodable;
        QCOMPARE(cp932::byteLength(text, &unencodable), -1);
        QCOMPARE(unencodable, culprit);
        try {
            cp932::encode(text);
            QFAIL("encode accepted a character code page 932 cannot hold");
        } catch (const Failure &failure) {
            QVERIFY2(failure.message().contains(culprit), qPrintable(failure.message()));
        }
    }

    // Every byte sequence at all is replayed by the fuzz target's corpus; these are the cases a
    // reader of damaged backup files meets.
    void decodesGarbageWithoutStopping_data() {
        columns<QByteArray, QString>({"bytes", "text"});
        auto row = [](const char *name, const char *hex, const char *text) {
            test::row(name, QByteArray::fromHex(hex), text);
        };
        row("byte 80 and A0 and FD", "80a0fd", "〓〓〓");
        row("lead byte with a blank after it", "8120967b", "〓 本");
        row("unmapped double-byte code", "8540967b", "〓本");
        row("lone lead byte at the end", "4181", "A〓");
        row("empty", "", "");
        row("trailing blanks are kept", "53462020", "SF  ");
    }

    void decodesGarbageWithoutStopping() {
        const QByteArray bytes = cell<QByteArray>("bytes");
        QTEST(cp932::decode(bytes), "text");
        QByteArray utf8("stale contents of the buffer");
        cp932::decodeToUtf8(bytes.constData(), bytes.size(), utf8);
        QTEST(QString::fromUtf8(utf8), "text");
    }
};

QTEST_GUILESS_MAIN(TestCp932)
#include "tst_cp932.moc"
