#pragma once

#include "lookup/LookedUpBook.h"

#include <QByteArray>
#include <QString>

namespace hondana {

// The search service's answer to one ISBN: a searchRetrieve response whose records carry the
// library's bibliographic description (an RDF document) inside <recordData>, as elements or
// as escaped text.
struct SruAnswer {
    bool found = false;
    LookedUpBook book; // when found
    int records = 0;   // how many records the service sent
    QString note;      // what the user should know beside the book, such as which record won
};

// An answer longer than this is refused unread; a book's record is a few kilobytes.
inline constexpr qsizetype MaximumSruAnswerBytes = 2 * 1024 * 1024;

// Reads an answer. Throws Failure with a Japanese message a user can act on for what is no
// answer of the service: malformed XML, a diagnostic from the service, a document type
// declaration (refused outright, so no entity is ever expanded), too deep or too long.
SruAnswer readSruAnswer(const QByteArray &bytes);

} // namespace hondana
