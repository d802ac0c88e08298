#include "maintenance/OwnDataFile.h"

#include "db/OwnTables.h"

#include <QCryptographicHash>
#include <QDate>

#include <xxhash.h>

#include <charconv>

namespace hondana::owndatafile {

namespace {

const QByteArray Magic = "HONDANA-OWN-DATA";

// Runs without anything to escape go in whole: nearly every value is one such run.
void appendEscaped(QByteArray &out, QByteArrayView value) {
    qsizetype plain = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char *escape = value[i] == '\\'   ? "\\\\"
                             : value[i] == '\t' ? "\\t"
                             : value[i] == '\n' ? "\\n"
                             : value[i] == '\r' ? "\\r"
                                                : nullptr;
        if (!escape)
            continue;
        out.append(value.sliced(plain, i - plain));
        out.append(escape, 2);
        plain = i + 1;
    }
    out.append(value.sliced(plain));
}

// The value of an escaped field; false for an escape that is none of ours.
bool unescape(QByteArrayView field, QByteArray &out) {
    out.clear();
    if (!field.contains('\\')) {
        out.append(field); // nearly every value: nothing escaped, taken whole
        return true;
    }
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] != '\\') {
            out += field[i];
            continue;
        }
        if (++i == field.size())
            return false;
        switch (field[i]) {
        case '\\':
            out += '\\';
            break;
        case 't':
            out += '\t';
            break;
        case 'n':
            out += '\n';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            return false;
        }
    }
    return true;
}

bool isDigest(QByteArrayView text) {
    if (text.size() != DigestLength)
        return false;
    for (const char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

bool validUtf8(QByteArrayView bytes) {
    return bytes.isValidUtf8();
}

// The next tab-separated field of `rest`, which loses it and its tab; a null `rest` after the
// last field.
QByteArrayView takeField(QByteArrayView &rest) {
    const qsizetype tab = rest.indexOf('\t');
    const QByteArrayView field = tab < 0 ? rest : rest.first(tab);
    rest = tab < 0 ? QByteArrayView() : rest.sliced(tab + 1);
    return field;
}

bool decodeText(QByteArrayView field, QString &text) {
    QByteArray value;
    if (!unescape(field, value) || !validUtf8(value))
        return false;
    text = QString::fromUtf8(value);
    return true;
}

} // namespace

QByteArray headerLine(int version) {
    return Magic + '\t' + QByteArray::number(version) + '\n';
}

namespace {

Digest canonicalDigest(const RecordHash &hash) {
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH128_hash_t{hash.low, hash.high});
    static_assert(sizeof canonical.digest == std::tuple_size_v<Digest>);
    Digest digest;
    std::copy(std::begin(canonical.digest), std::end(canonical.digest), digest.begin());
    return digest;
}

} // namespace

Digest recordDigest(QByteArrayView record, int version) {
    if (version != 1)
        return canonicalDigest(hashRecord(record));
    const QByteArray md5 = QCryptographicHash::hash(record, QCryptographicHash::Md5);
    Digest digest;
    std::copy(md5.begin(), md5.end(), digest.begin());
    return digest;
}

std::optional<Digest> digestFromText(QByteArrayView text) {
    if (!isDigest(text))
        return std::nullopt;
    const auto nibble = [](char c) { return c <= '9' ? c - '0' : c - 'a' + 10; };
    Digest digest;
    for (size_t i = 0; i < digest.size(); ++i)
        digest[i] = static_cast<unsigned char>(nibble(text[qsizetype(2 * i)]) << 4 |
                                               nibble(text[qsizetype(2 * i + 1)]));
    return digest;
}

RecordHash hashRecord(QByteArrayView record) {
    const XXH128_hash_t hash = XXH3_128bits(record.data(), size_t(record.size()));
    return {hash.low64, hash.high64};
}

void spellDigest(const RecordHash &hash, char *out) {
    static constexpr char Hex[] = "0123456789abcdef";
    const Digest digest = canonicalDigest(hash);
    for (size_t i = 0; i < digest.size(); ++i) {
        out[2 * i] = Hex[digest[i] >> 4];
        out[2 * i + 1] = Hex[digest[i] & 0xf];
    }
}

bool splitLine(QByteArrayView text, LineFields &fields) {
    QByteArrayView rest = text;
    fields.file = takeField(rest);
    const QByteArrayView position = takeField(rest);
    fields.digest = takeField(rest);
    if (rest.isNull())
        return false; // no kind
    fields.kind = takeField(rest);
    fields.values = rest;
    if (fields.kind.isEmpty())
        return false;
    if (position == "0" && fields.digest.isEmpty() && fields.file == NoRecordFile) {
        fields.position = 0;
        return true;
    }
    bool ok = false;
    fields.position = position.toLongLong(&ok);
    return ok && fields.position > 0 && isDigest(fields.digest) && !fields.file.isEmpty();
}

bool belongsToNoRecord(const LineFields &fields) {
    return fields.position == 0;
}

bool decodeValues(QByteArrayView escaped, QList<QByteArray> &values) {
    qsizetype count = 0;
    for (QByteArrayView rest = escaped; !rest.isNull(); ++count) {
        const QByteArrayView field = takeField(rest);
        if (values.size() == count)
            values.append(QByteArray());
        if (!unescape(field, values[count]) || !validUtf8(values[count]))
            return false;
    }
    values.resize(count);
    return true;
}

bool isLoanLine(const QList<QByteArray> &values) {
    if (values.size() != 4 || QString::fromUtf8(values[0]).trimmed().isEmpty())
        return false;
    // Only the form backup writes: fromString also takes dates without their leading zeros.
    const auto date = [](const QByteArray &text) {
        const QDate read = QDate::fromString(QString::fromLatin1(text), Qt::ISODate);
        return read.isValid() && read.toString(Qt::ISODate).toLatin1() == text ? read : QDate();
    };
    const QDate lent = date(values[1]);
    if (!lent.isValid())
        return false;
    for (const QByteArray &later : {values[2], values[3]}) {
        if (!later.isEmpty() && !(date(later) >= lent))
            return false;
    }
    return true;
}

LineReader::LineReader(QByteArrayView bytes) : m_bytes(bytes) {
    if (bytes.size() > MaxFileSize) {
        m_problem = QStringLiteral("大きすぎます");
        return;
    }
    const qsizetype firstEnd = bytes.indexOf('\n');
    const QByteArrayView header = bytes.first(firstEnd < 0 ? bytes.size() : firstEnd);
    if (!header.startsWith(Magic + '\t')) {
        m_problem = QStringLiteral("この形式のファイルではありません");
        return;
    }
    const QByteArrayView version = header.sliced(Magic.size() + 1);
    for (int known = OldestVersion; known <= Version; ++known) {
        if (version == QByteArray::number(known))
            m_version = known;
    }
    if (m_version == 0) {
        m_problem =
            QStringLiteral("形式の版（%1）を読めません")
                .arg(QString::fromLatin1(version.first(qMin<qsizetype>(20, version.size()))));
        return;
    }
    m_next = firstEnd < 0 ? bytes.size() : firstEnd + 1;
}

bool LineReader::next(QByteArrayView &text) {
    while (m_version != 0 && m_next < m_bytes.size()) {
        qsizetype end = m_bytes.indexOf('\n', m_next);
        if (end < 0)
            end = m_bytes.size();
        text = m_bytes.sliced(m_next, end - m_next);
        m_next = end + 1;
        if (text.endsWith('\r'))
            text.chop(1);
        if (!text.isEmpty())
            return true;
    }
    return false;
}

void appendLine(QByteArray &out, QByteArrayView file, qint64 position, QByteArrayView digest,
                QByteArrayView kind, std::initializer_list<QByteArrayView> values) {
    appendEscaped(out, file);
    out += '\t';
    // Spelled in place: a number of its own per line would cost an allocation each.
    char digits[24];
    out.append(digits, std::to_chars(digits, digits + sizeof digits, position).ptr - digits);
    out += '\t';
    out += digest;
    out += '\t';
    appendEscaped(out, kind);
    for (const QByteArrayView value : values) {
        out += '\t';
        appendEscaped(out, value);
    }
    out += '\n';
}

QByteArray formatLine(const QString &file, qint64 position, const QByteArray &digest,
                      const QString &kind, const QStringList &values) {
    QByteArray line;
    appendLine(line, file.toUtf8(), position, digest, kind.toUtf8(), {});
    line.chop(1);
    for (const QString &value : values) {
        line += '\t';
        appendEscaped(line, value.toUtf8());
    }
    return line + '\n';
}

QStringList wishValues(const Wish &wish) {
    return {QString::number(wish.priority),
            wish.addedOn.toString(Qt::ISODate),
            wish.title,
            wish.author,
            wish.isbn.digits(),
            wish.note};
}

std::optional<Wish> wishFromValues(const QStringList &values) {
    if (values.size() != 6)
        return std::nullopt;
    Wish wish;
    bool ok = false;
    wish.priority = values[0].toInt(&ok);
    wish.addedOn = QDate::fromString(values[1], Qt::ISODate);
    wish.title = values[2];
    wish.author = values[3];
    wish.isbn = Isbn::tryFromText(values[4]);
    wish.note = values[5];
    // Only what backup writes: the stored form of every field, nothing to tidy.
    if (!ok || values[0] != QString::number(wish.priority) ||
        wish.priority < owntables::WishHighest || wish.priority > owntables::WishLowest ||
        !wish.addedOn.isValid() || wish.addedOn.toString(Qt::ISODate) != values[1] ||
        wish.title.isEmpty() || wish.isbn.digits() != values[4])
        return std::nullopt;
    return wish;
}

Contents parse(QByteArrayView bytes) {
    Contents contents;
    LineReader reader(bytes);
    contents.problem = reader.problem();
    contents.version = reader.version();
    QByteArrayView text;
    QList<QByteArray> values;
    while (reader.next(text)) {
        LineFields fields;
        Line line;
        if (text.size() <= MaxLineLength && splitLine(text, fields) &&
            decodeText(fields.file, line.file) && decodeText(fields.kind, line.kind) &&
            decodeValues(fields.values, values)) {
            line.position = fields.position;
            line.digest = fields.digest.toByteArray();
            for (const QByteArray &value : std::as_const(values))
                line.values << QString::fromUtf8(value);
            line.text = text.toByteArray();
            contents.lines.append(line);
        } else {
            contents.unreadable.append(text.toByteArray());
        }
    }
    return contents;
}

} // namespace hondana::owndatafile
