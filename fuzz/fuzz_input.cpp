// What a user types into number and date fields, or types or scans as an ISBN: any text parses
// or is refused with a Failure. A number or date that parses is shown in its display format and
// reads back the same, an ISBN is 13 digits that read back from their hyphenated form; any stored
// value, however large, is shown without overflow.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "catalogue/Isbn.h"
#include "db/InputParsing.h"

#include <QDate>
#include <cstring>

using namespace hondana;

namespace {

const QString Field = QStringLiteral("価格");

void checkInteger(const QString &text) {
    QVariant value;
    try {
        value = input::parseInteger(text, Field);
    } catch (const Failure &) {
        return;
    }
    if (value.isNull())
        return;
    const qint64 number = value.toLongLong();
    fuzz::require(number >= -2147483648LL && number <= 2147483647LL,
                  "a number outside 32 bits was accepted");
    const QString shown = input::format(value, input::NumberFormat);
    fuzz::require(input::parseInteger(shown, Field).toLongLong() == number,
                  "a number does not read back from its display form");
}

void checkDate(const QString &text) {
    QVariant value;
    try {
        value = input::parseDate(text, Field);
    } catch (const Failure &) {
        return;
    }
    if (value.isNull())
        return;
    fuzz::require(value.toDate().isValid(), "an invalid date was accepted");
    const QString shown = input::format(value, input::DateFormat);
    fuzz::require(input::parseDate(shown, Field).toDate() == value.toDate(),
                  "a date does not read back from its display form");
}

void checkIsbn(const QString &text) {
    const Isbn isbn = Isbn::tryFromText(text);
    if (isbn.isEmpty())
        return;
    const QString digits = isbn.digits();
    fuzz::require(digits.size() == 13 && (digits.startsWith(QStringLiteral("978")) ||
                                          digits.startsWith(QStringLiteral("979"))),
                  "an ISBN was kept that is not 13 digits of 978 or 979");
    fuzz::require(Isbn::fromText(isbn.hyphenated()) == isbn,
                  "an ISBN does not read back from its hyphenated form");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    checkInteger(text);
    checkDate(text);
    checkIsbn(text);
    for (schema::Kind kind : {schema::Kind::Integer, schema::Kind::Date, schema::Kind::Text}) {
        try {
            input::parse(text, kind, Field);
        } catch (const Failure &) {
        }
    }
    // A hostile catalogue can hold any 64-bit integer or text in a column the screens format.
    if (size >= 8) {
        qint64 stored = 0;
        std::memcpy(&stored, data, sizeof stored);
        input::format(QVariant::fromValue(stored), input::NumberFormat);
    }
    input::format(QVariant(text), input::DateFormat);
    input::format(QVariant(text), input::NumberFormat);
    return 0;
}
