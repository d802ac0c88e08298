#include "base/Cp932.h"
#include "base/Failure.h"

#include <QtTest>

using namespace hondana;

class TestCp932 : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { cp932::ensureAvailable(); }

    void encodesHardCharacters_data();
    void encodesHardCharacters();
    void decodesDuplicateCodesToOneCharacter_data();
    void decodesDuplicateCodesToOneCharacter();
    void mapsJisFormsToWindowsForms_data();
    void mapsJisFormsToWindowsForms();
    void refusesWhatItCannotHold_data();
    void refusesWhatItCannotHold();
    void encodesFields_data();
    void encodesFields();
    void decodesGarbageWithoutStopping_data();
    void decodesGarbageWithoutStopping();
    void decodesEveryByteSequenceWithoutCrashing();
};

void TestCp932::encodesHardCharacters_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *text, const char *hex) {
        QTest::newRow(text) << QString::fromUtf8(text) << QByteArray::fromHex(hex);
    };
    row("\\", "5c");
    row("~", "7e");
    row("｡", "a1");
    row("ｱ", "b1");
    row("ﾟ", "df");
    row("―", "815c");
    row("＼", "815f");
    row("～", "8160");
    row("∥", "8161");
    row("－", "817c");
    row("￠", "8191");
    row("￡", "8192");
    row("￢", "81ca");
    row("￥", "818f");
    row("ソ", "835c");
    row("表", "955c");
    row("能", "945c");
    row("十", "8f5c");
    row("予", "975c");
    row("①", "8740");
    row("Ⅰ", "8754");
    row("№", "8782");
    row("㈱", "878a");
    row("≒", "81e0");
    row("∵", "81e6");
    row("ⅰ", "fa40");
    row("￤", "fa55");
    row("纊", "fa5c");
    row("﨑", "fab1");
    row("髙", "fbfc");
}

void TestCp932::encodesHardCharacters() {
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(cp932::encode(text), bytes);
    QCOMPARE(cp932::byteLength(text), bytes.size());
    QCOMPARE(cp932::decode(bytes), text);
}

// Windows has two codes for some characters (NEC and IBM extensions); both read back as the
// same character, and that character is written with the code Windows prefers.
void TestCp932::decodesDuplicateCodesToOneCharacter_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("preferred");
    auto row = [](const char *name, const char *hex, const char *text, const char *preferred) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << QString::fromUtf8(text)
                            << QByteArray::fromHex(preferred);
    };
    row("NEC ≒", "8790", "≒", "81e0");
    row("NEC ∵", "879a", "∵", "81e6");
    row("IBM Ⅰ", "fa4a", "Ⅰ", "8754");
    row("NEC-selected ⅰ", "eeef", "ⅰ", "fa40");
    row("NEC-selected ￢", "eef9", "￢", "81ca");
    row("IBM ￢", "fa54", "￢", "81ca");
    row("NEC-selected 纊", "ed40", "纊", "fa5c");
    row("IBM №", "fa59", "№", "8782");
}

void TestCp932::decodesDuplicateCodesToOneCharacter() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QByteArray, preferred);
    QCOMPARE(cp932::decode(bytes), text);
    QCOMPARE(cp932::encode(cp932::decode(bytes)), preferred);
}

void TestCp932::mapsJisFormsToWindowsForms_data() {
    QTest::addColumn<QString>("jis");
    QTest::addColumn<QString>("windows");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *name, char16_t jis, char16_t windows, const char *hex) {
        QTest::newRow(name) << QString(QChar(jis)) << QString(QChar(windows))
                            << QByteArray::fromHex(hex);
    };
    row("wave dash", u'\u301C', u'\uFF5E', "8160");
    row("double vertical line", u'\u2016', u'\u2225', "8161");
    row("minus sign", u'\u2212', u'\uFF0D', "817c");
    row("cent sign", u'\u00A2', u'\uFFE0', "8191");
    row("pound sign", u'\u00A3', u'\uFFE1', "8192");
    row("not sign", u'\u00AC', u'\uFFE2', "81ca");
    row("em dash", u'\u2014', u'\u2015', "815c");
}

void TestCp932::mapsJisFormsToWindowsForms() {
    QFETCH(QString, jis);
    QFETCH(QString, windows);
    QFETCH(QByteArray, bytes);
    QCOMPARE(cp932::toWindowsForms(QStringLiteral("a") + jis + QStringLiteral("b")),
             QStringLiteral("a") + windows + QStringLiteral("b"));
    QCOMPARE(cp932::encode(jis), bytes);
    QCOMPARE(cp932::byteLength(jis), 2);
    QCOMPARE(cp932::encodeField(jis, 2), bytes);
    QCOMPARE(cp932::decode(bytes), windows);
}

void TestCp932::refusesWhatItCannotHold_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("culprit");
    QTest::newRow("emoji") << QString::fromUtf8("本😀棚") << QString::fromUtf8("😀");
    QTest::newRow("hangul") << QString::fromUtf8("abc한") << QString::fromUtf8("한");
    QTest::newRow("e acute") << QString::fromUtf8("café") << QString::fromUtf8("é");
    QTest::newRow("simplified chinese") << QString::fromUtf8("书") << QString::fromUtf8("书");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QString(QChar(0xD800));
}

void TestCp932::refusesWhatItCannotHold() {
    QFETCH(QString, text);
    QFETCH(QString, culprit);
    QString unencodable;
    QCOMPARE(cp932::byteLength(text, &unencodable), -1);
    QCOMPARE(unencodable, culprit);
    try {
        cp932::encode(text);
        QFAIL("encode accepted a character code page 932 cannot hold");
    } catch (const Failure &failure) {
        QVERIFY2(failure.message().contains(culprit), qPrintable(failure.message()));
    }
    // The backup field never fails: the character becomes "?" and the width is kept.
    const QByteArray field = cp932::encodeField(text, 12);
    QCOMPARE(field.size(), 12);
    QVERIFY(field.contains('?'));
}

void TestCp932::encodesFields_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("bytes");
    auto row = [](const char *name, const QString &text, int width, const QByteArray &bytes) {
        QTest::newRow(name) << text << width << bytes;
    };
    row("empty gives blanks", QString(), 4, "    ");
    row("ascii padded", QStringLiteral("SF"), 6, "SF    ");
    row("ascii cut", QStringLiteral("ABCDEFG"), 4, "ABCD");
    row("stamp 未", QString::fromUtf8("未"), 4, QByteArray::fromHex("96a22020"));
    row("half-width katakana is one byte", QString::fromUtf8("ｻｲｽﾞ"), 4, "\xbb\xb2\xbd\xde");
    row("kanji fill the field exactly", QString::fromUtf8("本棚"), 4,
        QByteArray::fromHex("967b9249"));
    row("dangling lead byte becomes a blank", QString::fromUtf8("a本棚"), 4,
        QByteArray::fromHex("61967b20"));
    row("cut after N characters, then N bytes", QString::fromUtf8("あいうえお"), 5,
        QByteArray::fromHex("82a082a220"));
    row("width 1 with kanji", QString::fromUtf8("本"), 1, " ");
    row("JIS wave dash in a field", QString(QChar(0x301C)), 3, QByteArray::fromHex("816020"));
    row("emoji is one question mark", QString::fromUtf8("😀x"), 4, "?x  ");
}

void TestCp932::encodesFields() {
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QByteArray, bytes);
    QCOMPARE(cp932::encodeField(text, width), bytes);
    // The writer of backup files hands over the engine's UTF-8 text instead.
    const QByteArray utf8 = text.toUtf8();
    QByteArray fromUtf8(width, '\0');
    cp932::encodeUtf8FieldInto(utf8, width, fromUtf8.data());
    QCOMPARE(fromUtf8, bytes);
}

void TestCp932::decodesGarbageWithoutStopping_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    auto row = [](const char *name, const char *hex, const char *text) {
        QTest::newRow(name) << QByteArray::fromHex(hex) << QString::fromUtf8(text);
    };
    row("clean", "967b9249", "本棚");
    row("byte FF", "41ff42", "A〓B");
    row("byte 80 and A0 and FD", "80a0fd", "〓〓〓");
    row("lead byte with a blank after it", "8120967b", "〓 本");
    row("unmapped double-byte code", "8540967b", "〓本");
    row("lone lead byte at the end", "4181", "A〓");
    row("empty", "", "");
    row("trailing blanks are kept", "53462020", "SF  ");
}

void TestCp932::decodesGarbageWithoutStopping() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(cp932::decode(bytes), text);
    QByteArray utf8("stale contents of the buffer");
    cp932::decodeToUtf8(bytes.constData(), bytes.size(), utf8);
    QCOMPARE(QString::fromUtf8(utf8), text);
}

// Every pair of bytes, lead byte or not, in every position: the decoder must neither crash nor
// lose its place (each input byte yields at most one character).
void TestCp932::decodesEveryByteSequenceWithoutCrashing() {
    QByteArray all;
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            all.append(char(a));
            all.append(char(b));
        }
    }
    const QString text = cp932::decode(all);
    QVERIFY(!text.isEmpty());
    QVERIFY(text.size() <= all.size());
    QVERIFY(text.contains(QChar(0x3013)));
    QVERIFY(text.contains(QString::fromUtf8("髙")));
    QByteArray utf8;
    cp932::decodeToUtf8(all.constData(), all.size(), utf8);
    QCOMPARE(QString::fromUtf8(utf8), text);
    // After a broken character the decoder finds its place again at the next possible start.
    const QString sample = QString::fromUtf8("ｱｲｳ本棚帖～①髙﨑");
    QCOMPARE(cp932::decode(QByteArray("\x81 ") + cp932::encode(sample)),
             QStringLiteral("\u3013 ") + sample);
}

QTEST_GUILESS_MAIN(TestCp932)
#include "tst_cp932.moc"
