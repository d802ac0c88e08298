#pragma once

#include "intake/SourceTable.h"

#include <QString>

namespace hondana::intake {

// Reads the book collection of a zipped collection file (a zip archive holding tellico.xml): one
// record per entry, one column per field, several values of a field joined by "; ". A DTD that
// declares anything, an entry larger than MaxXmlBytes once unpacked (a zip bomb), XML nested
// deeper than any collection needs, or a collection of something other than books is refused.
// Throws Failure saying why; nothing is read then.
class TellicoSource {
public:
    static constexpr qint64 MaxXmlBytes = 128LL << 20;

    static SourceTable read(const QString &path);
    // The collection's XML, unpacked.
    static SourceTable readXml(const QByteArray &xml);
};

} // namespace hondana::intake
