#pragma once

#include <QString>

namespace hondana::readings {

// Whether `text` can be stored as a reading: kana, the long-vowel mark and blanks only, and
// something besides blanks.
bool isValidReading(const QString &text);

} // namespace hondana::readings
