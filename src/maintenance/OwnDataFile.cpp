#include "maintenance/OwnDataFile.h"

#include <QCryptographicHash>
#include <QStringDecoder>

namespace hondana::owndatafile {

namespace {

const QByteArray Magic = "HONDANA-OWN-DATA";
// The fixed fields before the kind's values: file, position, digest, kind.
constexpr qsizetype FixedFields = 4;
constexpr qsizetype DigestLength = 32;

void appendEscaped(QByteArray &out, QByteArrayView value) {
    for (const char c : value) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

// The value of an escaped field; false for an escape that is none of ours.
bool unescape(QByteArrayView field, QByteArray &out) {
    out.clear();
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

bool validUtf8(QByteArrayView bytes, QString &text) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    text = decoder(bytes);
    return !decoder.hasError();
}

bool parseLine(QByteArrayView text, Line &line) {
    const QList<QByteArrayView> fields = [&] {
        QList<QByteArrayView> parts;
        qsizetype start = 0;
        for (qsizetype i = 0; i <= text.size(); ++i) {
            if (i == text.size() || text[i] == '\t') {
                parts.append(text.sliced(start, i - start));
                start = i + 1;
            }
        }
        return parts;
    }();
    if (fields.size() < FixedFields)
        return false;
    bool ok = false;
    line.position = fields[1].toLongLong(&ok);
    if (!ok || line.position < 1 || !isDigest(fields[2]))
        return false;
    line.digest = fields[2].toByteArray();
    QByteArray value;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i == 1 || i == 2)
            continue;
        QString decoded;
        if (!unescape(fields[i], value) || !validUtf8(value, decoded))
            return false;
        if (i == 0)
            line.file = decoded;
        else if (i == 3)
            line.kind = decoded;
        else
            line.values << decoded;
    }
    line.text = text.toByteArray();
    return !line.file.isEmpty() && !line.kind.isEmpty();
}

} // namespace

QByteArray headerLine() {
    return Magic + '\t' + QByteArray::number(Version) + '\n';
}

QByteArray recordDigest(QByteArrayView record) {
    return QCryptographicHash::hash(record, QCryptographicHash::Md5).toHex();
}

void appendLine(QByteArray &out, QByteArrayView file, qint64 position, QByteArrayView digest,
                QByteArrayView kind, std::initializer_list<QByteArrayView> values) {
    appendEscaped(out, file);
    out += '\t';
    out += QByteArray::number(position);
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

Contents parse(QByteArrayView bytes) {
    Contents contents;
    if (bytes.size() > MaxFileSize) {
        contents.problem = QStringLiteral("大きすぎます");
        return contents;
    }
    const qsizetype firstEnd = bytes.indexOf('\n');
    const QByteArrayView header = bytes.first(firstEnd < 0 ? bytes.size() : firstEnd);
    if (!header.startsWith(Magic + '\t')) {
        contents.problem = QStringLiteral("この形式のファイルではありません");
        return contents;
    }
    if (header.sliced(Magic.size() + 1) != QByteArray::number(Version)) {
        contents.problem =
            QStringLiteral("形式の版（%1）を読めません")
                .arg(QString::fromLatin1(
                    header.sliced(Magic.size() + 1)
                        .first(qMin<qsizetype>(20, header.size() - Magic.size() - 1))));
        return contents;
    }
    qsizetype start = firstEnd < 0 ? bytes.size() : firstEnd + 1;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0)
            end = bytes.size();
        QByteArrayView text = bytes.sliced(start, end - start);
        if (text.endsWith('\r'))
            text.chop(1);
        start = end + 1;
        if (text.isEmpty())
            continue;
        Line line;
        if (text.size() <= MaxLineLength && parseLine(text, line))
            contents.lines.append(line);
        else
            contents.unreadable.append(text.toByteArray());
    }
    return contents;
}

} // namespace hondana::owndatafile
