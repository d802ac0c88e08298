// The backup record reader: any file under a backup file's name is read to its end or refused
// with a Failure; never a crash. What it reads can be written back, and integers and dates
// survive that round trip exactly.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "maintenance/BackupFormat.h"

#include <QDate>
#include <QDir>
#include <QVariantList>
#include <cmath>

using namespace hondana;

namespace {

void checkRoundTrip(const backup::Layout &layout, const QVariantList &values) {
    QByteArray record(layout.recordLength, '\0');
    fuzz::require(backup::encodeRecord(layout, values.constData(), record.data(), 1),
                  "a record read back was left out when written again");
    QVariantList again;
    backup::decodeRecord(layout, record.constData(), 1, again);
    for (qsizetype i = 0; i < layout.fields.size(); ++i) {
        const backup::FieldKind kind = layout.fields[i].kind;
        if (kind == backup::FieldKind::Integer || kind == backup::FieldKind::Date)
            fuzz::require(again[i] == values[i], "an integer or a date changed on a round trip");
        else
            fuzz::require(again[i].toString().size() <= layout.fields[i].width,
                          "a text field decoded to more characters than bytes");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size == 0)
        return 0;
    const backup::Layout &layout = backup::layouts()[data[0] % backup::layouts().size()];
    const QByteArray file(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    fuzz::writeScratchFile(layout.fileName, file);
    try {
        backup::RecordReader reader(layout, QDir(fuzz::scratchFolder()).filePath(layout.fileName));
        QVariantList values;
        qint64 records = 0;
        while (const char *record = reader.next()) {
            ++records;
            fuzz::require(reader.recordNumber() == records, "record numbers skip");
            backup::decodeRecord(layout, record, reader.recordNumber(), values);
            checkRoundTrip(layout, values);
        }
        fuzz::require(records == file.size() / layout.recordLength,
                      "the reader did not return every whole record");
    } catch (const Failure &failure) {
        fuzz::require(!failure.message().isEmpty(), "a failure without a message");
    }
    return 0;
}
