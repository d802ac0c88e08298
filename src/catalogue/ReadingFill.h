#pragma once

#include "base/Progress.h"
#include "catalogue/StoredReadings.h"

namespace hondana {

class Connection;
class ReadingSuggester;

// Book titles, authors and publishers without a reading, with the texts to read.
struct UnreadEntries {
    QList<StoredReadings::Unread> titles, authors, publishers;

    bool isEmpty() const { return titles.isEmpty() && authors.isEmpty() && publishers.isEmpty(); }
};

struct ReadingFillSummary {
    int filled = 0;       // titles, authors and publishers that got a suggested reading
    int unread = 0;       // those the suggester could not read: they still have none
    bool stopped = false; // the progress asked to stop; nothing was stored
};

// Suggests a reading for every book title, author and publisher of the open catalogue that has
// none and stores them all in one transaction, never touching a reading the user gave. The same
// text is read once however many books share it. Runs off the window's thread: reports progress
// over the texts read, and stops, storing nothing, when the progress asks to. Throws Failure;
// then nothing is stored.
ReadingFillSummary fillSuggestedReadings(Connection &connection, const ReadingSuggester &suggester,
                                         const Progress &progress = {});
// The same for `entries` alone: what an intake has just added, where the rest of the catalogue
// went through the suggester before and what it could not read then it cannot read now.
ReadingFillSummary fillSuggestedReadings(Connection &connection, const ReadingSuggester &suggester,
                                         const UnreadEntries &entries,
                                         const Progress &progress = {});

} // namespace hondana
