// Other catalogues' CSV files: any bytes are read or refused with a message, never a crash; a
// table read has no row wider than the limit, and every row maps to a book or to problems.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "intake/ColumnMapping.h"
#include "intake/CsvSource.h"
#include "intake/ImportFormats.h"

#include <QBuffer>

using namespace hondana;
using namespace hondana::intake;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    try {
        SourceTable table = CsvSource::read(buffer, TextEncoding::Detect);
        for (const SourceRecord &record : table.records)
            fuzz::require(record.size() <= CsvSource::MaxFields, "a row over the limit");
        const FormatDescription &format = formatDescription(recogniseTable(table));
        nameColumns(table, format);
        const ColumnMapping mapping = defaultMapping(table, format);
        fuzz::require(mapping.rules.size() == table.columns.size(), "a column without a rule");
        QList<RowProblem> problems;
        for (const SourceRecord &record : table.records)
            mapping.convert(record, problems);
    } catch (const Failure &failure) {
        fuzz::require(!failure.message().isEmpty(), "a refusal without a message");
    }
    return 0;
}
