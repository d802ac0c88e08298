// The reading suggester on any text: arbitrary bytes, invalid UTF-8 and very long input never
// crash it, and whatever it suggests holds only katakana and ー. The first byte picks the kind.
#include "FuzzSupport.h"

#include "catalogue/ReadingSuggester.h"
#include "catalogue/ReadingText.h"

using namespace hondana;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    static const ReadingSuggester suggester;
    if (size == 0)
        return 0;
    const ReadingKind kind = ReadingKind(data[0] % 3);
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString reading = suggester.suggest(text, kind);
    fuzz::require(readings::isKatakanaOnly(reading), "a suggestion holds more than katakana");
    fuzz::require(readings::isKatakanaOnly(readings::kanaReading(text)),
                  "a kana reading holds more than katakana");
    return 0;
}
