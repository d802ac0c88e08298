#pragma once

#include "db/Schema.h"

#include <QString>
#include <QVariant>

// What a Japanese user types into a field, read by the field's kind, and the display forms of
// stored values. Full-width digits, signs, commas and slashes read like their ASCII forms;
// blanks (also the full-width blank) around the text are ignored; empty input is null.
namespace hondana::input {

// Display formats of bound fields.
inline const QString DateFormat = QStringLiteral("yyyy/MM/dd");
inline const QString NumberFormat = QStringLiteral("#,##0");
// A date without leading zeros: 2024/4/1.
inline const QString ShortDateFormat = QStringLiteral("yyyy/m/d");

// Numbers: "1500", "1,500", "-3", "１，５００", "－３". Commas must group by thousands.
// Refused with Failure naming `field`: text, fractions, values outside 32 bits.
QVariant parseInteger(const QString &text, const QString &field);

// Dates: "yyyy/MM/dd", "yyyy/M/d", "yyyyMMdd" (also with "-" or "." between the parts), in
// full-width digits too. Refused with Failure naming `field`: impossible days (2024/02/30),
// numbers that are not dates, text.
QVariant parseDate(const QString &text, const QString &field);

// By kind: integers and dates as above; text as typed (empty is null).
QVariant parse(const QString &text, schema::Kind kind, const QString &field);

// Full-width digits, signs, commas, slashes, periods and blanks to their ASCII forms.
QString toHalfWidthDigits(const QString &text);

// The display form of a stored value: "#,##0" groups an integer by thousands, "yyyy/MM/dd"
// writes a date, "yyyy/m/d" writes it without leading zeros; any other format (or none) gives
// the plain form (dates still as "yyyy/MM/dd"). Null gives "". Text is shown without the
// blanks a backup pads it with at its end, so that they do not count against the column's width
// when the user edits it.
QString format(const QVariant &value, const QString &displayFormat = {});

// Whether the value read from what the user typed leaves the stored one as it is: the same
// value, or the same text as the stored one without its padding. An untouched value is not
// written back, so the backup of a row the user did not change stays byte for byte the same.
bool leavesUnchanged(const QVariant &typed, const QVariant &stored);

} // namespace hondana::input
