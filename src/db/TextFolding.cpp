#include "db/TextFolding.h"

#include <array>

namespace hondana::folding {

namespace {

// Half-width katakana and punctuation U+FF61..U+FF9F in their full-width forms; the two sound
// marks stay marks here and join the letter before them in Reader::next().
constexpr std::array<char16_t, 0x3F> HalfWidthKana = {
    u'。', u'「', u'」', u'、', u'・', u'ヲ', u'ァ', u'ィ', u'ゥ', u'ェ', u'ォ', u'ャ', u'ュ',
    u'ョ', u'ッ', u'ー', u'ア', u'イ', u'ウ', u'エ', u'オ', u'カ', u'キ', u'ク', u'ケ', u'コ',
    u'サ', u'シ', u'ス', u'セ', u'ソ', u'タ', u'チ', u'ツ', u'テ', u'ト', u'ナ', u'ニ', u'ヌ',
    u'ネ', u'ノ', u'ハ', u'ヒ', u'フ', u'ヘ', u'ホ', u'マ', u'ミ', u'ム', u'メ', u'モ', u'ヤ',
    u'ユ', u'ヨ', u'ラ', u'リ', u'ル', u'レ', u'ロ', u'ワ', u'ン', u'゛', u'゜'};

constexpr char16_t HalfVoiced = 0xFF9E;
constexpr char16_t HalfSemiVoiced = 0xFF9F;
constexpr char16_t CombiningVoiced = 0x3099;
constexpr char16_t CombiningSemiVoiced = 0x309A;

// One character in its folded form, before any sound mark is joined to it.
char16_t foldOne(char16_t c) {
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + (u'a' - u'A')) : c;
    if (c >= 0xFF01 && c <= 0xFF5E) // full-width ASCII
        return foldOne(char16_t(c - 0xFF01 + 0x21));
    if (c == 0x3000) // ideographic blank
        return u' ';
    if (c >= 0xFF61 && c <= 0xFF9F)
        return HalfWidthKana[c - 0xFF61];
    if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E) // hiragana
        return char16_t(c + 0x60);
    if (QChar::isSurrogate(c))
        return c;
    return char16_t(QChar::toCaseFolded(char32_t(c)));
}

// The katakana `base` with a voiced (semiVoiced false) or semi-voiced sound mark, or 0 when
// the letter takes no such mark.
char16_t withSoundMark(char16_t base, bool semiVoiced) {
    const bool hRow =
        base == u'ハ' || base == u'ヒ' || base == u'フ' || base == u'ヘ' || base == u'ホ';
    if (semiVoiced)
        return hRow ? char16_t(base + 2) : 0;
    if (hRow || (base >= u'カ' && base <= u'チ' && (base - u'カ') % 2 == 0) || base == u'ツ' ||
        base == u'テ' || base == u'ト')
        return char16_t(base + 1);
    switch (base) {
    case u'ウ':
        return u'ヴ';
    case u'ワ':
        return u'ヷ';
    case u'ヲ':
        return u'ヺ';
    default:
        return 0;
    }
}

// Reads a text as folded characters, joining a letter and the separate sound mark after it
// (ﾃﾞ, or a combining mark) into one, so ﾃﾞｰﾀ reads as データ.
class Reader {
public:
    explicit Reader(QStringView text) : m_text(text) {}

    bool atEnd() const { return m_at >= m_text.size(); }

    char16_t next() {
        const char16_t c = foldOne(m_text[m_at++].unicode());
        if (m_at < m_text.size()) {
            const char16_t mark = m_text[m_at].unicode();
            const bool voiced = mark == HalfVoiced || mark == CombiningVoiced;
            const bool semiVoiced = mark == HalfSemiVoiced || mark == CombiningSemiVoiced;
            if (voiced || semiVoiced) {
                if (const char16_t joined = withSoundMark(c, semiVoiced)) {
                    ++m_at;
                    return joined;
                }
            }
        }
        return c;
    }

private:
    QStringView m_text;
    qsizetype m_at = 0;
};

} // namespace

QString folded(QStringView text) {
    QString result;
    result.reserve(text.size());
    Reader reader(text);
    while (!reader.atEnd())
        result.append(QChar(reader.next()));
    return result;
}

namespace {

// Whether `text` folded begins with `folded`, and with `whole` ends there too.
bool matchesFolded(QStringView text, QStringView folded, bool whole) {
    Reader reader(text);
    for (const QChar expected : folded) {
        if (reader.atEnd() || reader.next() != expected.unicode())
            return false;
    }
    return !whole || reader.atEnd();
}

} // namespace

bool startsWith(QStringView text, QStringView foldedPrefix) {
    return matchesFolded(text, foldedPrefix, false);
}

bool equals(QStringView text, QStringView foldedWhole) {
    return matchesFolded(text, foldedWhole, true);
}

QStringView withoutPadding(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1).isSpace())
        --end;
    return text.left(end);
}

QString foldedKey(QStringView text) {
    return folded(withoutPadding(text));
}

} // namespace hondana::folding
