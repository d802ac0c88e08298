#include "catalogue/JapaneseOrder.h"

#include "catalogue/ReadingText.h"

#include <QLocale>

#include <iterator>

namespace hondana {

namespace {

// The first katakana of each row after the one before it; voiced and small kana lie inside their
// row's span (ガ after カ, ッ before ツ), ヴ is read as ウ and ヷ..ヺ as ワ..ヲ.
struct RowStart {
    char16_t first;
    KanaRow row;
};
constexpr RowStart RowStarts[] = {
    {u'ァ', KanaRow::A},  {u'カ', KanaRow::Ka},    {u'サ', KanaRow::Sa}, {u'タ', KanaRow::Ta},
    {u'ナ', KanaRow::Na}, {u'ハ', KanaRow::Ha},    {u'マ', KanaRow::Ma}, {u'ャ', KanaRow::Ya},
    {u'ラ', KanaRow::Ra}, {u'ヮ', KanaRow::Wa},    {u'ヴ', KanaRow::A},  {u'ヵ', KanaRow::Ka},
    {u'ヷ', KanaRow::Wa}, {u'・', KanaRow::Other},
};

KanaRow rowOfLetter(QChar letter) {
    if (letter < QChar(RowStarts[0].first))
        return KanaRow::Other;
    KanaRow row = KanaRow::Other;
    for (const RowStart &start : RowStarts) {
        if (letter >= QChar(start.first))
            row = start.row;
    }
    return row;
}

} // namespace

JapaneseOrder::JapaneseOrder() : m_collator(QLocale(QLocale::Japanese, QLocale::Japan)) {
    // Blanks and dots between words (ムラカミ ハルキ, ハリー・ポッター) do not decide the order.
    m_collator.setIgnorePunctuation(true);
    m_collator.setNumericMode(true);
}

QString JapaneseOrder::sortText(const QString &text, const QString &reading) {
    return reading.trimmed().isEmpty() ? text : reading;
}

int JapaneseOrder::compare(const QString &textA, const QString &readingA, const QString &textB,
                           const QString &readingB) const {
    return m_collator.compare(sortText(textA, readingA), sortText(textB, readingB));
}

QCollatorSortKey JapaneseOrder::sortKey(const QString &text, const QString &reading) const {
    return m_collator.sortKey(sortText(text, reading));
}

KanaRow JapaneseOrder::rowOf(const QString &text, const QString &reading) {
    const QString kana = readings::toKatakana(sortText(text, reading).trimmed());
    return kana.isEmpty() ? KanaRow::Other : rowOfLetter(kana.front());
}

QString JapaneseOrder::rowName(KanaRow row) {
    static const QString names = QStringLiteral("あかさたなはまやらわ他");
    return names.at(int(row));
}

} // namespace hondana
