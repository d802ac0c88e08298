#pragma once

#include <QString>
#include <QStringView>

// What a reading (読み) may hold, and readings of text that is already kana.
namespace hondana::readings {

// Whether `text` can be stored as a reading: kana, the long-vowel mark and blanks only, and
// something besides blanks.
bool isValidReading(const QString &text);

// Whether `text` holds only full-width katakana and ー: the form of every suggestion.
bool isKatakanaOnly(QStringView text);

// `text` with hiragana turned into katakana and half-width katakana (with its separate voicing
// marks) into full-width; full-width Latin letters, digits and blanks become their plain forms.
// Anything else stays as it is.
QString toKatakana(QStringView text);

// The reading of text written in kana alone (hiragana, katakana of either width, ー, blanks and
// the middle dot), blanks and dots left out; empty when the text holds anything else.
QString kanaReading(QStringView text);

// Whether `c` may stand in a reading besides blanks: a full-width katakana letter or ー.
bool isReadingLetter(QChar c);

} // namespace hondana::readings
