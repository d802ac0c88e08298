// The look-up service's answer from anywhere on the network: arbitrary bytes, broken or hostile
// XML never crash the reader nor make it expand entities; whatever it reads as found has a title.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "lookup/SruAnswer.h"

using namespace hondana;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    try {
        const SruAnswer answer =
            readSruAnswer(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
        fuzz::require(!answer.found || !answer.book.title.name.isEmpty(), "a book without a title");
        fuzz::require(answer.book.isbn.isEmpty() || answer.book.isbn.digits().size() == 13,
                      "an ISBN that is not 13 digits");
    } catch (const Failure &) {
    }
    return 0;
}
