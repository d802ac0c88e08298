#pragma once

#include "intake/SourceTable.h"

#include <QString>

class QIODevice;

namespace hondana::intake {

enum class TextEncoding { Detect, Utf8, Cp932 };

// Reads a comma- or tab-separated file: fields quoted or not, quotes doubled inside, line breaks
// inside quotes, CR LF or LF. The separator is the one the first row uses most. The encoding is
// UTF-8 when the file starts with its byte-order mark or reads as UTF-8, CP932 otherwise, unless
// it is given. Every row is a record, a header row too: what it is depends on the format.
// Reads as it goes and holds no more than one row's bytes at a time beyond the table it builds.
// Throws Failure naming the line for a file it will not read whole: a row longer than
// MaxRecordBytes, too many rows or fields, bytes the encoding cannot read, a quote left open.
class CsvSource {
public:
    static constexpr qsizetype MaxRecordBytes = 1 << 20;
    static constexpr qsizetype MaxFields = 1000;

    static SourceTable read(QIODevice &device, TextEncoding encoding);
};

} // namespace hondana::intake
