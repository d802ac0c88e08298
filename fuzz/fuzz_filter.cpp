// Record-set filter expressions: any text parses or is refused with a Failure; a parsed filter
// evaluates against any row. A search condition built from typed text parses and matches the
// typed text itself.
#include "FuzzSupport.h"

#include "base/Failure.h"
#include "db/FilterExpression.h"

#include <QDate>

using namespace hondana;

namespace {

void evaluateAgainstRows(const FilterExpression &filter, const QString &sample) {
    const QVariant values[] = {QVariant(), QVariant(sample), QVariant(42), QDate(2024, 2, 29)};
    for (const QVariant &value : values)
        filter.matches([&](int column) {
            fuzz::require(column >= 0 && column < filter.columns().size(),
                          "a filter asked for a column it does not name");
            return value;
        });
}

void checkSearchCondition(const QString &typed) {
    // As the search screens write it.
    const QString condition =
        QStringLiteral("題名 LIKE '%1*'").arg(FilterExpression::literal(typed));
    FilterExpression filter;
    try {
        filter = FilterExpression::parse(condition);
    } catch (const Failure &) {
        fuzz::require(false, "a search condition built from typed text does not parse");
    }
    const auto valueIs = [](const QString &value) {
        return [value](int) { return QVariant(value); };
    };
    fuzz::require(filter.matches(valueIs(typed)), "a search does not find the text typed");
    fuzz::require(filter.matches(valueIs(typed + QStringLiteral("の続き"))),
                  "a search does not find a title that begins with the text typed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        const FilterExpression filter = FilterExpression::parse(text);
        evaluateAgainstRows(filter, text);
    } catch (const Failure &failure) {
        fuzz::require(!failure.message().isEmpty(), "a failure without a message");
    }
    checkSearchCondition(text);
    return 0;
}
