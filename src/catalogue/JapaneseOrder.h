#pragma once

#include <QCollator>
#include <QString>

namespace hondana {

// The rows of the 50音 table an entry can start in, in their order; Other for anything that is
// no kana (kanji without a reading, Latin letters, digits, ー).
enum class KanaRow { A, Ka, Sa, Ta, Na, Ha, Ma, Ya, Ra, Wa, Other };

// The order a Japanese reader expects for titles and names: by reading, with the Japanese
// collation (あいうえお order, voiced after unvoiced, small kana beside their large ones,
// hiragana and katakana alike); an entry without a reading sorts by its own text the same way.
class JapaneseOrder {
public:
    JapaneseOrder();

    // What an entry sorts by: its reading, or its text when it has none.
    static QString sortText(const QString &text, const QString &reading);

    // Negative, zero or positive as entry a sorts before, with or after entry b.
    int compare(const QString &textA, const QString &readingA, const QString &textB,
                const QString &readingB) const;

    // A key that compares as compare() does, for sorting many entries once.
    QCollatorSortKey sortKey(const QString &text, const QString &reading) const;

    // The row the entry starts in: by its reading, or by its text when it has none.
    static KanaRow rowOf(const QString &text, const QString &reading);

    // The row's name as the index shows it: "あ" … "わ", "他".
    static QString rowName(KanaRow row);

private:
    QCollator m_collator;
};

} // namespace hondana
