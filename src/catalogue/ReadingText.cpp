#include "catalogue/ReadingText.h"

namespace hondana::readings {

bool isValidReading(const QString &text) {
    bool anyKana = false;
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool hiragana = u >= 0x3041 && u <= 0x3096;
        const bool katakana = u >= 0x30A1 && u <= 0x30FA;
        const bool mark = u == 0x30FC || u == 0x309D || u == 0x309E || u == 0x30FD || u == 0x30FE;
        if (hiragana || katakana || mark)
            anyKana = true;
        else if (u != u' ' && u != 0x3000)
            return false;
    }
    return anyKana;
}

} // namespace hondana::readings
