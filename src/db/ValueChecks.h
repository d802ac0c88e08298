#pragma once

#include "db/Schema.h"

#include <QString>
#include <QVariant>

namespace hondana::values {

// `value` as a column of `kind` named `field` stores it: integers must fit 32 bits, texts the
// column's byte width in code page 932 and the code page itself, dates must be real dates;
// typed texts are read as the user writes numbers and dates. A null stays null.
// Throws Failure naming the field.
QVariant checked(const QVariant &value, schema::Kind kind, const QString &field);

} // namespace hondana::values
