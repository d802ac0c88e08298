#pragma once

#include "base/Progress.h"

namespace hondana {

class Connection;
class ReadingSuggester;

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

} // namespace hondana
