#pragma once

#include <QString>
#include <QStringView>

namespace hondana {

// What a Japanese reader takes for the same text when searching: letter case, full-width and
// half-width forms (ＡＢＣ and abc, ﾃﾞｰﾀ and データ, １２ and 12, the ideographic blank and
// the ASCII blank) and hiragana with katakana (ほん, ホン, ﾎﾝ) all compare equal. Everything
// else, punctuation and wildcard characters included, compares as itself.
namespace folding {

// The folded form of `text`, for patterns folded once and compared many times.
QString folded(QStringView text);

// Whether `text` folded begins with `foldedPrefix` (already folded). Reads only as far into
// `text` as the prefix reaches and allocates nothing, so it can run over every loaded row.
bool startsWith(QStringView text, QStringView foldedPrefix);

// Whether `text` folded is exactly `foldedWhole` (already folded).
bool equals(QStringView text, QStringView foldedWhole);

// `text` without the blanks a fixed-width column or another program padded it with.
QStringView withoutPadding(QStringView text);
// The folded form of a stored name or title, its padding dropped: the key by which two entries
// are the same one.
QString foldedKey(QStringView text);

} // namespace folding
} // namespace hondana
