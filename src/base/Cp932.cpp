#include "base/Cp932.h"

#include "base/Failure.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <array>
#include <atomic>
#include <cstring>
#include <memory>

namespace hondana::cp932 {

namespace {

const char *const ConverterName = "windows-932";
constexpr char16_t Geta = u'\u3013'; // 〓, what an undecodable byte becomes
constexpr char Substitute = '?';

bool converterAvailable() {
    static const bool available =
        QStringEncoder(ConverterName).isValid() && QStringDecoder(ConverterName).isValid();
    return available;
}

// The converters are asked one character (or one byte pair) at a time and their answers kept:
// a fresh converter per question, because an ICU converter keeps its error flag across resets.
// A per-field converter would cost more than the field itself on a large backup.

// Encoded form of one BMP code unit: 0 not asked yet, Unencodable, or (length << 16) | bytes.
constexpr quint32 NotAsked = 0;
constexpr quint32 Unencodable = 0xFFFFFFFFu;

std::array<std::atomic<quint32>, 0x10000> &encodeTable() {
    static std::array<std::atomic<quint32>, 0x10000> table{};
    return table;
}

quint32 askEncoder(char16_t unit) {
    if (QChar::isSurrogate(unit))
        return Unencodable;
    QStringEncoder encoder(ConverterName);
    const QChar ch(unit);
    const QByteArray bytes = encoder.encode(QStringView(&ch, 1));
    if (encoder.hasError() || bytes.isEmpty() || bytes.size() > 2)
        return Unencodable;
    if (bytes.size() == 1)
        return (1u << 16) | quint8(bytes[0]);
    return (2u << 16) | (quint32(quint8(bytes[0])) << 8) | quint8(bytes[1]);
}

char16_t windowsForm(char16_t unit) {
    switch (unit) {
    case u'\u301C':
        return u'\uFF5E';
    case u'\u2016':
        return u'\u2225';
    case u'\u2212':
        return u'\uFF0D';
    case u'\u00A2':
        return u'\uFFE0';
    case u'\u00A3':
        return u'\uFFE1';
    case u'\u00AC':
        return u'\uFFE2';
    case u'\u2014':
        return u'\u2015';
    default:
        return unit;
    }
}

// What a character is written as, its JIS-style form mapped to the Windows one first.
[[gnu::noinline]] quint32 askAndKeep(char16_t unit) {
    ensureAvailable();
    const quint32 value = askEncoder(windowsForm(unit));
    encodeTable()[unit].store(value, std::memory_order_relaxed);
    return value;
}

inline quint32 encoded(char16_t unit) {
    const quint32 value = encodeTable()[unit].load(std::memory_order_relaxed);
    return value != NotAsked ? value : askAndKeep(unit);
}

// Code units text needs to hold one character starting at `i` (2 for a surrogate pair).
qsizetype characterUnits(QStringView text, qsizetype i) {
    return (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2
                                                                                              : 1;
}

QString codePointLabel(QStringView text, qsizetype i) {
    const char32_t code = characterUnits(text, i) == 2
                              ? QChar::surrogateToUcs4(text[i], text[i + 1])
                              : char32_t(text[i].unicode());
    return QString::number(quint32(code), 16).toUpper().rightJustified(4, QLatin1Char('0'));
}

void append(QByteArray &out, quint32 value) {
    if ((value >> 16) == 1) {
        out.append(char(value & 0xFF));
    } else {
        out.append(char((value >> 8) & 0xFF));
        out.append(char(value & 0xFF));
    }
}

// What every byte and byte pair decodes to; 0 where nothing does.
struct DecodeTable {
    std::array<char16_t, 256> single{};
    std::array<std::array<char16_t, 256>, 256> pair{};
};

char16_t askDecoder(const char *bytes, qsizetype size) {
    QStringDecoder decoder(ConverterName, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(QByteArrayView(bytes, size));
    if (decoder.hasError() || text.size() != 1)
        return 0;
    return text[0].unicode();
}

const DecodeTable &decodeTable() {
    static const std::unique_ptr<DecodeTable> table = [] {
        ensureAvailable();
        auto t = std::make_unique<DecodeTable>();
        for (int b = 0; b < 256; ++b) {
            const char byte = char(b);
            if (!isLeadByte(quint8(b)))
                t->single[b] = askDecoder(&byte, 1);
        }
        for (int lead = 0x81; lead <= 0xFC; ++lead) {
            if (!isLeadByte(quint8(lead)))
                continue;
            for (int trail = 0x40; trail <= 0xFC; ++trail) {
                if (trail == 0x7F)
                    continue;
                const char bytes[2] = {char(lead), char(trail)};
                t->pair[lead][trail] = askDecoder(bytes, 2);
            }
        }
        return t;
    }();
    return *table;
}

// After a lead byte that forms no character: whether the byte after it starts the next
// character (it cannot be a trail byte) rather than belonging to the broken one.
bool startsCharacterAfterBrokenLead(const quint8 *bytes, qsizetype size, qsizetype lead) {
    if (lead + 1 >= size)
        return true;
    const quint8 next = bytes[lead + 1];
    return next < 0x40 || next == 0x7F || next > 0xFC;
}

} // namespace

void ensureAvailable() {
    if (!converterAvailable())
        throw Failure(QStringLiteral("文字コード変換器「windows-932」（シフトJIS）が使えません。"
                                     "ICU 付きの Qt をインストールしてください。"));
}

QString toWindowsForms(const QString &text) {
    QString result = text;
    for (QChar &ch : result)
        ch = QChar(windowsForm(ch.unicode()));
    return result;
}

qsizetype byteLength(const QString &text, QString *unencodable) {
    qsizetype length = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units = characterUnits(text, i);
        const quint32 value = units == 2 ? Unencodable : encoded(text[i].unicode());
        if (value == Unencodable) {
            if (unencodable)
                *unencodable = text.mid(i, units);
            return -1;
        }
        length += value >> 16;
        i += units;
    }
    return length;
}

QByteArray encode(const QString &text) {
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype units = characterUnits(text, i);
        const quint32 value = units == 2 ? Unencodable : encoded(text[i].unicode());
        if (value == Unencodable)
            throw Failure(QStringLiteral("文字「%1」（U+%2）はシフトJIS（コードページ932）で"
                                         "表せません。")
                              .arg(text.mid(i, units), codePointLabel(text, i)));
        append(out, value);
        i += units;
    }
    return out;
}

QByteArray encodeField(const QString &text, int width) {
    if (width <= 0)
        return {};
    QByteArray out(width, Qt::Uninitialized);
    encodeFieldInto(text, width, out.data());
    return out;
}

void encodeFieldInto(QStringView text, int width, char *out) {
    // A surrogate pair becomes one four-byte sequence and still counts as two characters.
    encodeUtf8FieldInto(text.toUtf8(), width, out);
}

namespace {

// The next code point of `utf8` at `i` (advanced past it); -1 for a malformed sequence.
qint32 nextCodePoint(QByteArrayView utf8, qsizetype &i) {
    const auto lead = quint8(utf8[i++]);
    if (lead < 0x80)
        return lead;
    int extra = 0;
    qint32 code = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        code = lead & 0x07;
    } else {
        return -1;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= utf8.size() || (quint8(utf8[i]) & 0xC0) != 0x80)
            return -1;
        code = (code << 6) | (quint8(utf8[i++]) & 0x3F);
    }
    return code;
}

} // namespace

void encodeUtf8FieldInto(QByteArrayView utf8, int width, char *out) {
    if (utf8.isEmpty())
        utf8 = QByteArrayView(" ", 1);
    int used = 0;
    qsizetype units = 0;
    for (qsizetype i = 0; i < utf8.size() && units < width && used < width;) {
        if (quint8(utf8[i]) < 0x80) {
            const quint32 single = encoded(char16_t(utf8[i]));
            if ((single >> 16) == 1) {
                out[used++] = char(single & 0xFF);
                ++i;
                ++units;
                continue;
            }
        }
        const qint32 code = nextCodePoint(utf8, i);
        const bool wide = code > 0xFFFF;
        const quint32 value = (code < 0 || wide) ? Unencodable : encoded(char16_t(code));
        if (value == Unencodable) {
            out[used++] = Substitute;
        } else if ((value >> 16) == 1) {
            out[used++] = char(value & 0xFF);
        } else if (used + 1 < width) {
            out[used++] = char((value >> 8) & 0xFF);
            out[used++] = char(value & 0xFF);
        } else {
            // The cut falls inside this character: its lead byte alone becomes a blank.
            out[used++] = ' ';
        }
        units += wide ? 2 : 1;
    }
    std::memset(out + used, ' ', size_t(width - used));
}

QString decode(const QByteArray &bytes) {
    return decode(bytes.constData(), bytes.size());
}

QString decode(const char *data, qsizetype size) {
    const DecodeTable &table = decodeTable();
    QString out(size, Qt::Uninitialized);
    char16_t *write = reinterpret_cast<char16_t *>(out.data());
    const auto *bytes = reinterpret_cast<const quint8 *>(data);
    qsizetype i = 0;
    qsizetype n = 0;
    while (i < size) {
        const quint8 b = bytes[i];
        if (isLeadByte(b)) {
            const char16_t ch = i + 1 < size ? table.pair[b][bytes[i + 1]] : char16_t(0);
            if (ch) {
                write[n++] = ch;
                i += 2;
            } else {
                write[n++] = Geta;
                i += startsCharacterAfterBrokenLead(bytes, size, i) ? 1 : 2;
            }
        } else {
            const char16_t ch = table.single[b];
            write[n++] = ch ? ch : Geta;
            ++i;
        }
    }
    out.truncate(n);
    return out;
}

qsizetype firstUndecodable(const char *data, qsizetype size) {
    const DecodeTable &table = decodeTable();
    const auto *bytes = reinterpret_cast<const quint8 *>(data);
    for (qsizetype i = 0; i < size; ++i) {
        if (!isLeadByte(bytes[i])) {
            if (!table.single[bytes[i]])
                return i;
        } else if (i + 1 >= size || !table.pair[bytes[i]][bytes[i + 1]]) {
            return i;
        } else {
            ++i;
        }
    }
    return -1;
}

} // namespace hondana::cp932

namespace hondana::cp932 {

namespace {

char *appendUtf8(char *out, char16_t ch) {
    if (ch < 0x80) {
        *out++ = char(ch);
    } else if (ch < 0x800) {
        *out++ = char(0xC0 | (ch >> 6));
        *out++ = char(0x80 | (ch & 0x3F));
    } else {
        *out++ = char(0xE0 | (ch >> 12));
        *out++ = char(0x80 | ((ch >> 6) & 0x3F));
        *out++ = char(0x80 | (ch & 0x3F));
    }
    return out;
}

} // namespace

void decodeToUtf8(const char *data, qsizetype size, QByteArray &out) {
    const DecodeTable &table = decodeTable();
    // Every byte gives at most one character of at most three UTF-8 bytes.
    out.resize(size * 3);
    char *write = out.data();
    const auto *bytes = reinterpret_cast<const quint8 *>(data);
    qsizetype i = 0;
    while (i < size) {
        const quint8 b = bytes[i];
        char16_t ch = 0;
        if (isLeadByte(b)) {
            ch = i + 1 < size ? table.pair[b][bytes[i + 1]] : char16_t(0);
            i += ch ? 2 : (startsCharacterAfterBrokenLead(bytes, size, i) ? 1 : 2);
        } else {
            ch = table.single[b];
            ++i;
        }
        write = appendUtf8(write, ch ? ch : Geta);
    }
    out.truncate(write - out.constData());
}

} // namespace hondana::cp932
