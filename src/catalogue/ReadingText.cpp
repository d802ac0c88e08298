#include "catalogue/ReadingText.h"

#include <algorithm>

namespace hondana::readings {

namespace {

// Hiragana ぁ..ゖ and katakana ァ..ヶ lie the same distance apart in Unicode, letter for letter.
constexpr char16_t FirstHiragana = u'\u3041';
constexpr char16_t LastHiragana = u'\u3096';
constexpr char16_t HiraganaToKatakana = u'\u30A1' - u'\u3041';

constexpr char16_t FirstKatakana = u'\u30A1'; // ァ
constexpr char16_t LastKatakana = u'\u30FA';  // ヺ
constexpr char16_t LongVowelMark = u'\u30FC'; // ー
constexpr char16_t MiddleDot = u'\u30FB';     // ・

bool isBlank(QChar c) {
    return c == u' ' || c == u'\u3000';
}

} // namespace

bool isReadingLetter(QChar c) {
    return (c >= QChar(FirstKatakana) && c <= QChar(LastKatakana)) || c == QChar(LongVowelMark);
}

bool isValidReading(const QString &text) {
    bool anyKana = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool hiragana = u >= 0x3041 && u <= 0x3096;
        const bool katakana = u >= 0x30A1 && u <= 0x30FA;
        const bool mark = u == 0x30FC || u == 0x309D || u == 0x309E || u == 0x30FD || u == 0x30FE;
        if (hiragana || katakana || mark)
            anyKana = true;
        else if (!isBlank(c))
            return false;
    }
    return anyKana;
}

bool isKatakanaOnly(QStringView text) {
    return std::all_of(text.begin(), text.end(), isReadingLetter);
}

QString toKatakana(QStringView text) {
    // Compatibility composition joins a half-width letter and its voicing mark into one letter.
    QString result = text.toString().normalized(QString::NormalizationForm_KC);
    for (QChar &c : result) {
        if (c >= QChar(FirstHiragana) && c <= QChar(LastHiragana))
            c = QChar(char16_t(c.unicode() + HiraganaToKatakana));
    }
    return result;
}

QString kanaReading(QStringView text) {
    QString reading;
    for (QChar c : toKatakana(text)) {
        if (isReadingLetter(c))
            reading += c;
        else if (!isBlank(c) && c != QChar(MiddleDot))
            return {};
    }
    return reading;
}

} // namespace hondana::readings
