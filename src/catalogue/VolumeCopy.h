#pragma once

#include <QString>

#include <optional>

namespace hondana {

class RecordSet;

// What the next volume of a work takes over from the volume on screen: the shared key numbers,
// the total number of volumes and the title. Everything that belongs to one volume (running
// number, designation, dates, numbers, reading state, notes) starts empty.
struct SharedVolumeData {
    std::optional<qint32> authorNo;
    std::optional<qint32> publisherNo;
    std::optional<qint32> volumeCount;
    std::optional<qint32> categoryNo;
    std::optional<qint32> sizeNo;
    std::optional<QString> title;

    // Reads the current row of `books` (pending change included). Throws Failure without a
    // current row.
    static SharedVolumeData read(const RecordSet &books);
    // Writes the values that are not empty into the current row of `books`.
    void writeTo(RecordSet &books) const;
};

// Starts the next volume of the current book: reads the shared data, adds a new row (which
// first saves a pending change, as add-new always does) and fills the shared data in. The new
// row is left unsaved. Throws Failure; what was done before a failure stays done.
void copyAsNewVolume(RecordSet &books);

} // namespace hondana
