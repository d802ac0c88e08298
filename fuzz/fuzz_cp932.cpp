// The code page 932 decoder and the field encoder: any bytes decode without a crash, a field
// is always exactly its width and never ends in half a character, and what was decoded reads
// the same after it is encoded again.
#include "FuzzSupport.h"

#include "base/Cp932.h"
#include "base/Failure.h"

using namespace hondana;

namespace {

bool endsInHalfCharacter(const QByteArray &field) {
    qsizetype i = 0;
    while (i < field.size())
        i += cp932::isLeadByte(quint8(field[i])) ? 2 : 1;
    return i > field.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const int width = data[0];
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const QString text = cp932::decode(bytes);
    fuzz::require(text.size() <= bytes.size(), "decoding made more characters than bytes");

    const QByteArray field = cp932::encodeField(text, width);
    fuzz::require(field.size() == width, "a field is not exactly its width");
    fuzz::require(!endsInHalfCharacter(field), "a field ends in half a character");

    const qsizetype length = cp932::byteLength(text);
    try {
        const QByteArray encoded = cp932::encode(text);
        fuzz::require(encoded.size() == length, "byteLength disagrees with encode");
        fuzz::require(cp932::decode(encoded) == text, "decoded text changed on a round trip");
    } catch (const Failure &) {
        fuzz::require(length == -1, "encode refused what byteLength measured");
    }
    return 0;
}
