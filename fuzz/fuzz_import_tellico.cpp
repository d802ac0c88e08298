// A zipped collection's XML: any bytes give a table or a refusal with a message, never a crash
// or an expanded entity.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "intake/TellicoSource.h"

using namespace hondana;
using namespace hondana::intake;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const SourceTable table = TellicoSource::readXml(bytes);
        for (const SourceRecord &record : table.records)
            fuzz::require(record.size() <= table.columns.size(), "a value without a field");
    } catch (const Failure &failure) {
        fuzz::require(!failure.message().isEmpty(), "a refusal without a message");
    }
    return 0;
}
