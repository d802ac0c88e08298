#pragma once

#include <QByteArray>
#include <QString>

// Code page 932 (the Japanese Windows code page) as the backup files and the column widths
// count it. The mapping is ICU's "windows-932" converter; nothing here guesses a mapping.
namespace hondana::cp932 {

// Throws Failure when ICU's "windows-932" converter is not available (checked once).
void ensureAvailable();

// Maps JIS-style code points to the forms Windows uses: U+301C→U+FF5E, U+2016→U+2225,
// U+2212→U+FF0D, U+00A2→U+FFE0, U+00A3→U+FFE1, U+00AC→U+FFE2, U+2014→U+2015.
QString toWindowsForms(const QString &text);

// Bytes `text` takes in code page 932 after toWindowsForms; -1 when a character cannot be held,
// and then *unencodable receives that character.
qsizetype byteLength(const QString &text, QString *unencodable = nullptr);

// Whole encoding; throws Failure naming the character when one cannot be held.
QByteArray encode(const QString &text);

// A fixed-width field of a backup file: an empty text gives a single space; left-aligned in
// `width` characters (cut, or padded with spaces), encoded, the first `width` bytes kept; a cut
// that leaves a dangling lead byte turns that byte into a blank. Never fails: a character the
// code page cannot hold becomes "?" (the record-set layer refuses such characters earlier).
QByteArray encodeField(const QString &text, int width);
// The same into `out`, which takes exactly `width` bytes; for writers of many fields.
void encodeFieldInto(QStringView text, int width, char *out);
// The same from UTF-8 text, as the database hands it over. A character outside the Basic
// Multilingual Plane counts as two characters, as in UTF-16; malformed UTF-8 becomes "?".
void encodeUtf8FieldInto(QByteArrayView utf8, int width, char *out);

// Never fails: what cannot be decoded (bad lead or trail bytes, unmapped codes) becomes "〓"
// and decoding goes on.
QString decode(const QByteArray &bytes);
QString decode(const char *data, qsizetype size);
// Where the first byte that does not decode stands (a broken lead or trail byte, an unmapped
// code), or -1 when every byte does: for readers that refuse a damaged file instead of reading
// 〓 into it.
qsizetype firstUndecodable(const char *data, qsizetype size);
// The same into UTF-8, replacing the contents of `out`; for readers of many fields.
void decodeToUtf8(const char *data, qsizetype size, QByteArray &out);

// Whether `byte` opens a double-byte character.
constexpr bool isLeadByte(unsigned char byte) {
    return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

} // namespace hondana::cp932
