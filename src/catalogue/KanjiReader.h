#pragma once

#include <QString>

namespace hondana {

// The last resort for kanji the morphological dictionaries lack: reads a word character by
// character with KAKASI's kanji dictionary. Its readings are rough (a single kanji gets its most
// common reading), so it only stands in where there would be no suggestion at all. Safe to use
// from several threads at once: the library keeps global state, so calls take turns.
class KanjiReader {
public:
    // The reading of `word` in katakana, or an empty text when KAKASI cannot read all of it
    // (characters outside its character set among them).
    static QString read(const QString &word);
};

} // namespace hondana
