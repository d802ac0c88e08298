#include "catalogue/KanjiReader.h"

#include "catalogue/ReadingText.h"

#include <QByteArray>

#include <iconv.h>

// The library's header declares its functions without C linkage.
extern "C" {
#include <libkakasi.h>
}

#include <memory>
#include <mutex>

namespace hondana {

namespace {

// Longer text is no word; KAKASI's fixed buffers are not asked to hold it.
constexpr qsizetype MaxLength = 100;

// `text` converted between character sets with iconv; empty when a character has no place in
// the target set.
QByteArray convert(const char *to, const char *from, const QByteArray &text) {
    const iconv_t converter = iconv_open(to, from);
    if (converter == iconv_t(-1))
        return {};
    const std::unique_ptr<void, int (*)(iconv_t)> closer(converter, iconv_close);
    QByteArray input = text;
    QByteArray output(text.size() * 4 + 4, '\0');
    char *in = input.data();
    char *out = output.data();
    size_t inLeft = size_t(input.size());
    size_t outLeft = size_t(output.size());
    if (iconv(converter, &in, &inLeft, &out, &outLeft) == size_t(-1))
        return {};
    output.truncate(output.size() - qsizetype(outLeft));
    return output;
}

// KAKASI knows only the kanji of JIS X 0208; EUC-JP marks the others (JIS X 0212) with 0x8F,
// and KAKASI would misread their bytes as two characters of its own.
bool fitsKakasi(const QByteArray &eucJp) {
    return !eucJp.isEmpty() && !eucJp.contains('\x8F');
}

std::mutex kakasiTurn;

} // namespace

QString KanjiReader::read(const QString &word) {
    if (word.isEmpty() || word.size() > MaxLength)
        return {};
    const QByteArray eucJp = convert("EUC-JP", "UTF-8", word.toUtf8());
    if (!fitsKakasi(eucJp))
        return {};
    QByteArray reading;
    {
        const std::lock_guard turn(kakasiTurn);
        static const bool ready = [] {
            // Kanji and hiragana to katakana, everything else left as it is.
            char program[] = "kakasi", kanji[] = "-JK", hiragana[] = "-HK";
            char *arguments[] = {program, kanji, hiragana};
            return kakasi_getopt_argv(3, arguments) == 0;
        }();
        if (!ready)
            return {};
        QByteArray input = eucJp;
        char *output = kakasi_do(input.data());
        if (!output)
            return {};
        reading = output;
        kakasi_free(output);
    }
    return readings::kanaReading(QString::fromUtf8(convert("UTF-8", "EUC-JP", reading)));
}

} // namespace hondana
