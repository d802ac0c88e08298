#include "catalogue/JapaneseOrder.h"
#include "catalogue/ReadingFill.h"
#include "catalogue/ReadingSuggester.h"
#include "catalogue/ReadingText.h"
#include "catalogue/StoredReadings.h"
#include "db/Connection.h"
#include "support/Catalogues.h"
#include "support/DataFolder.h"
#include "support/TestFiles.h"
#include "support/TestSql.h"

#include <QtTest>

using namespace hondana;
using test::u8;

class TestReadings : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Entries in the order they sort, "reading" or "text/reading", and the row each starts in.
    void japaneseOrder_data() {
        QTest::addColumn<QStringList>("entries");
        QTest::addColumn<QString>("rows");
        auto row = [](const char *name, const char *entries, const char *rows) {
            QTest::newRow(name) << u8(entries).split(QStringLiteral(" < ")) << u8(rows);
        };
        // Unvoiced, voiced, half-voiced; the letters decide before the voicing does.
        row("voicing", "パア < ハイ < ハル < バル < パル", "ははははは");
        // A small kana sorts just before its large one, and before the next letter.
        row("small kana", "キッテ < キテ < ッケ < ツケ < ャア < ヨイ", "かかたたやや");
        // ー sorts just before the vowel it stands for; leading, it starts no row.
        row("long mark", "ーア < アイ < カー < カア < カイ", "他あかかか");
        // Either kana and either width read alike; an entry without a reading sorts by its text;
        // blanks do not decide; ヴ is in the あ row, ヲ and ン in the わ row.
        row("kana",
            "あいう/ < アイエ < ウア < ヴィ < ｶﾞｲﾄﾞ/ < ガイドブック < さくら/ < サコ < "
            "ムラカミ ハルキ < ムラカミハルコ < ヲカシ < ンジャメナ < ンン < 山崎/",
            "ああああかかささままわわわ他");
        row("a reading wins over its text", "東野圭吾/ヒガシノケイゴ < 山崎豊子/ヤマザキトヨコ",
            "はや");
        row("Latin and digits are no row", "1Q84/ < Qt/", "他他");
    }

    void japaneseOrder() {
        QFETCH(QStringList, entries);
        QFETCH(QString, rows);
        const JapaneseOrder order;
        auto text = [&](qsizetype i) { return entries[i].section(u'/', 0, -2); };
        auto reading = [&](qsizetype i) { return entries[i].section(u'/', -1); };
        for (qsizetype a = 0; a < entries.size(); ++a) {
            QCOMPARE(JapaneseOrder::rowName(JapaneseOrder::rowOf(text(a), reading(a))),
                     QString(rows[a]));
            for (qsizetype b = a + 1; b < entries.size(); ++b) {
                const QByteArray pair = (entries[a] + QStringLiteral(" < ") + entries[b]).toUtf8();
                QVERIFY2(order.compare(text(a), reading(a), text(b), reading(b)) < 0, pair);
                QVERIFY2(order.compare(text(b), reading(b), text(a), reading(a)) > 0, pair);
                QVERIFY2(
                    order.sortKey(text(a), reading(a)).compare(order.sortKey(text(b), reading(b))) <
                        0,
                    pair);
            }
        }
    }

    // What is suggested for a text of each kind; an empty reading is "could not read".
    void suggestions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("reading");
        auto row = [](const char *name, const QString &text, ReadingKind kind,
                      const char *reading) {
            QTest::newRow(name) << text << int(kind) << u8(reading);
        };
        const ReadingKind title = ReadingKind::Title;
        row("kanji title", u8("吾輩は猫である"), title, "ワガハイハネコデアル");
        row("hiragana converts directly", u8("こころ"), title, "ココロ");
        row("half-width katakana", u8("ｶﾞｲﾄﾞﾌﾞｯｸ"), title, "ガイドブック");
        row("dots and blanks left out", u8("ハリー・ポッター　と"), title, "ハリーポッタート");
        row("brackets and commas are silent", u8("「世界の中心で、愛をさけぶ」"), title,
            "セカイノチュウシンデアイヲサケブ");
        row("a name as a name", u8("太宰治"), ReadingKind::Person, "ダザイオサム");
        row("a given name read as a name, not a word", u8("都"), ReadingKind::Person, "ミヤコ");
        row("a name with a blank", u8("村上　春樹"), ReadingKind::Person, "ムラカミハルキ");
        row("publisher", u8("新潮社"), ReadingKind::Publisher, "シンチョウシャ");
        // What the morphological dictionary reads wrong or not at all, and our own knows.
        row("a well-known person's full name", u8("東野　圭吾"), ReadingKind::Person,
            "ヒガシノケイゴ");
        row("a proper noun read whole", u8("東京創元社"), ReadingKind::Publisher,
            "トウキョウソウゲンシャ");
        row("a word only our dictionary has", u8("檸檬"), title, "レモン");
        row("of a name's readings, the one most dictionaries give", u8("河出書房新社"),
            ReadingKind::Publisher, "カワデショボウシンシャ");
        row("a known title within a longer one", u8("山月記・李陵"), title, "サンゲツキリリョウ");
        row("Latin letters cannot be read", u8("はじめてのC++"), title, "");
        row("digits cannot be read", u8("2001年宇宙の旅"), title, "");
        row("a kanji the dictionary lacks", u8("𠀋"), title, "");
        row("only punctuation", u8("「」・、"), title, "");
        row("empty", QString(), title, "");
        row("invalid UTF-8", QString::fromUtf8("\xff\xfe\x80\xe3\x81"), title, "");
        row("control characters", u8("猫\x01\t\n"), title, "ネコ");
        row("lone voicing marks", u8("ﾞﾟ゛"), title, "");
        row("emoji and a lone surrogate are silent", u8("猫😀") + QChar(0xD800), title, "ネコ");
        row("Latin letters in a word", u8("ｺﾝﾋﾟｭｰﾀＡ"), title, "");
        row("very long text", u8("猫").repeated(5000), title, "");
    }

    void suggestions() {
        QFETCH(QString, text);
        QFETCH(int, kind);
        QFETCH(QString, reading);
        const QString suggestion = suggester().suggest(text, ReadingKind(kind));
        QCOMPARE(suggestion, reading);
        QVERIFY(readings::isKatakanaOnly(suggestion));
    }

    // Many texts at once on several threads read as one by one, in order; a stop leaves the
    // rest unread.
    void suggestsMany() {
        QStringList texts;
        for (int i = 0; i < 600; ++i)
            texts << QStringList{u8("銀河鉄道の夜"), u8("Qt入門"), u8("さくら")}.at(i % 3);
        qint64 reported = 0;
        const QStringList all =
            suggester().suggestAll(texts, ReadingKind::Title, Progress([&](qint64 done, qint64) {
                                       reported = done;
                                       return true;
                                   }),
                                   2);
        QCOMPARE(all.size(), texts.size());
        for (qsizetype i = 0; i < texts.size(); ++i)
            QCOMPARE(all[i], suggester().suggest(texts[i], ReadingKind::Title));
        QCOMPARE(reported, texts.size());

        const QStringList stopped = suggester().suggestAll(
            texts, ReadingKind::Title, Progress([](qint64, qint64) { return false; }), 1);
        QVERIFY(stopped.last().isEmpty());
    }

    // Text of kana alone reads directly; a stored reading holds kana, ー and blanks only.
    void readingText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("kanaReading");
        QTest::addColumn<bool>("valid");
        auto row = [](const char *text, const char *kana, bool valid) {
            QTest::newRow(text) << u8(text) << u8(kana) << valid;
        };
        row("ヒガシノ ケイゴ", "ヒガシノケイゴ", true);
        row("ひがしの", "ヒガシノ", true);
        row("ｶﾞｲﾄﾞ", "ガイド", false);
        row("ゔぁいおりん", "ヴァイオリン", true);
        row("ラーメン・ハウス", "ラーメンハウス", false);
        row("東野", "", false);
        row("ABC", "", false);
        row("ヽヾ", "", true);
        row("　 ", "", false);
        row("", "", false);
    }

    void readingText() {
        QFETCH(QString, text);
        QFETCH(QString, kanaReading);
        QFETCH(bool, valid);
        QCOMPARE(readings::kanaReading(text), kanaReading);
        QCOMPARE(readings::isValidReading(text), valid);
        QVERIFY(readings::isKatakanaOnly(kanaReading));
    }

    // Filling reads every entry without a reading once, keeps the user's readings, leaves what
    // cannot be read without one, and finds nothing left to do the second time.
    void fillsWhatHasNoReading() {
        test::DataFolder folder;
        test::makeCatalogue(folder.path(), 4);
        {
            test::SqlFile file(folder.filePath(QStringLiteral("TOSHO.MDB")));
            file.exec(u8("UPDATE BOOK SET 題名 = CASE rowid WHEN 1 THEN '銀河鉄道の夜' "
                         "WHEN 2 THEN '銀河鉄道の夜' WHEN 3 THEN 'Qt入門' ELSE '雪国' END"));
            file.exec(u8("UPDATE CHOSHA SET 著者名 = '宮沢賢治'"));
            file.exec(u8("UPDATE HAKKOU SET 発行所 = '新潮社'"));
        }
        Connection connection(QStringLiteral("Data Source=TOSHO.MDB;"), folder.path());
        connection.open();
        StoredReadings stored(connection);
        stored.setTitle(4, u8("ユキグニ ユーザー"));
        const int entries = 4 + test::Authors + test::Publishers;

        bool stopRequested = false;
        QVERIFY(fillSuggestedReadings(connection, suggester(), Progress([&](qint64, qint64) {
                                          stopRequested = true;
                                          return false;
                                      }))
                    .stopped);
        QVERIFY(stopRequested);
        QVERIFY(stored.titles().size() == 1);

        const ReadingFillSummary first = fillSuggestedReadings(connection, suggester());
        QCOMPARE(first.filled, entries - 2);
        QCOMPARE(first.unread, 1);
        const StoredReadings::Reading suggested{u8("ギンガテツドウノヨル"),
                                                StoredReadings::Origin::Suggested};
        QCOMPARE(stored.title(1), suggested);
        QCOMPARE(stored.title(2), suggested);
        QVERIFY(!stored.title(3));
        QCOMPARE(stored.title(4)->text, u8("ユキグニ ユーザー"));
        QCOMPARE(stored.title(4)->origin, StoredReadings::Origin::User);
        QCOMPARE(stored.name(StoredReadings::Master::Author, 1)->text, u8("ミヤザワケンジ"));
        QCOMPARE(stored.name(StoredReadings::Master::Publisher, 1)->text, u8("シンチョウシャ"));

        const ReadingFillSummary second = fillSuggestedReadings(connection, suggester());
        QCOMPARE(second.filled, 0);
        QCOMPARE(second.unread, 1);
    }

private:
    static const ReadingSuggester &suggester() {
        static const ReadingSuggester instance;
        return instance;
    }
};

QTEST_GUILESS_MAIN(TestReadings)
#include "tst_readings.moc"
