#pragma once

#include "base/Progress.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace hondana {

// What a text names, which decides how its kanji are read.
enum class ReadingKind {
    Title,     // a book's title: read as ordinary words
    Person,    // an author: family and given names read as names where the dictionary knows them
    Publisher, // a publisher: read as ordinary words and organisation names
};

// Suggests the reading (読み) of a title, a person's name or a publisher, in katakana: kana text
// converts directly, kanji are read with the morphological dictionaries of a table (the one
// that takes the text as the fewest words wins). A suggestion never holds anything but katakana and
// ー: text with a part that cannot be read (Latin letters, digits, a kanji no dictionary has) gets
// none. Safe to use from several threads at once.
class ReadingSuggester {
public:
    // Loads the dictionary; throws Failure when it is missing or unreadable.
    ReadingSuggester();
    ~ReadingSuggester();
    ReadingSuggester(const ReadingSuggester &) = delete;
    ReadingSuggester &operator=(const ReadingSuggester &) = delete;

    // The suggested reading of `text`, or an empty text when it cannot be read.
    QString suggest(const QString &text, ReadingKind kind) const;

    // The suggestion for each of `texts` (empty where one cannot be read), in order, spread over
    // `threads` threads (0: one per core). Reports how many are done; stops early, leaving the
    // rest empty, when `progress` asks to.
    QStringList suggestAll(const QStringList &texts, ReadingKind kind,
                           const Progress &progress = {}, int threads = 0) const;

private:
    struct Dictionary;
    struct Lattices;
    std::unique_ptr<Dictionary> m_dictionary;
};

} // namespace hondana
