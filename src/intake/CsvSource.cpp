#include "intake/CsvSource.h"

#include "base/Cp932.h"
#include "base/Failure.h"

#include <QIODevice>
#include <QStringDecoder>

namespace hondana::intake {

namespace {

const QByteArray Utf8Mark("\xEF\xBB\xBF");

// Feeds the file's bytes one at a time from a buffer refilled in large reads.
class ByteStream {
public:
    explicit ByteStream(QIODevice &device) : m_device(device) {}

    // -1 at the end.
    int next() {
        if (m_at == m_buffer.size()) {
            m_buffer = m_device.read(1 << 16);
            m_at = 0;
            if (m_buffer.isEmpty())
                return -1;
        }
        return quint8(m_buffer[m_at++]);
    }
    int peek() {
        const int c = next();
        if (c >= 0)
            --m_at;
        return c;
    }
    // Appends to `to` the bytes that follow as long as `plain` takes them, within what is
    // buffered (the caller's next() goes on from there); returns how many. Most of a file is
    // plain text between separators, so it is copied in runs, not byte by byte.
    template <typename Plain> qsizetype appendWhile(QByteArray &to, Plain plain) {
        const qsizetype from = m_at;
        while (m_at < m_buffer.size() && plain(quint8(m_buffer[m_at])))
            ++m_at;
        to.append(m_buffer.constData() + from, m_at - from);
        return m_at - from;
    }

private:
    QIODevice &m_device;
    QByteArray m_buffer;
    qsizetype m_at = 0;
};

Failure csvRefusal(qint64 line, const QString &why) {
    return Failure(QStringLiteral("%1 行目: %2。何も取り込みません。").arg(line).arg(why));
}

// Decodes each field's bytes into the row being read.
class FieldDecoder {
public:
    explicit FieldDecoder(TextEncoding encoding) : m_encoding(encoding) {}

    void decodeInto(SourceRecord &record, const QByteArray &bytes, qint64 line) {
        if (m_encoding == TextEncoding::Cp932) {
            if (cp932::firstUndecodable(bytes.constData(), bytes.size()) >= 0)
                throw csvRefusal(line, QStringLiteral("CP932（シフトJIS）として読めないバイトがあり"
                                                      "ます"));
            record.append(cp932::decode(bytes));
            return;
        }
        // UTF-8 never takes fewer bytes than UTF-16 takes characters.
        QChar *begin = record.beginField(bytes.size());
        const QChar *end = m_utf8.appendToBuffer(begin, bytes);
        if (m_utf8.hasError())
            throw csvRefusal(line, QStringLiteral("UTF-8 として読めないバイトがあります"));
        record.endField(end - begin);
    }

private:
    TextEncoding m_encoding;
    // Stateless: no field's bytes carry over into the next's.
    QStringDecoder m_utf8{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};

TextEncoding detectEncoding(QIODevice &device) {
    const QByteArray start = device.peek(1 << 16);
    if (start.startsWith(Utf8Mark))
        return TextEncoding::Utf8;
    // A character cut at the end of the sample is no fault: the sample ends before it.
    qsizetype end = start.size();
    if (start.size() == (1 << 16)) {
        qsizetype back = end;
        while (back > end - 4 && back > 0 && (quint8(start[back - 1]) & 0xC0) == 0x80)
            --back;
        if (back > 0 && quint8(start[back - 1]) >= 0xC0)
            end = back - 1;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString sample = decoder.decode(QByteArrayView(start).first(end));
    return decoder.hasError() ? TextEncoding::Cp932 : TextEncoding::Utf8;
}

char detectSeparator(QIODevice &device) {
    const QByteArray start = device.peek(1 << 16);
    const qsizetype end = start.indexOf('\n');
    const QByteArray first = end < 0 ? start : start.left(end);
    return first.count('\t') > first.count(',') ? '\t' : ',';
}

} // namespace

SourceTable CsvSource::read(QIODevice &device, TextEncoding encoding) {
    SourceTable table;
    if (encoding == TextEncoding::Detect)
        encoding = detectEncoding(device);
    if (encoding == TextEncoding::Utf8 && device.peek(3) == Utf8Mark)
        device.read(3);
    table.encoding =
        encoding == TextEncoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("CP932");
    const char separator = detectSeparator(device);
    FieldDecoder decoder(encoding);
    ByteStream in(device);

    qint64 line = 1;
    qint64 recordLine = 1;
    qsizetype recordBytes = 0;
    QByteArray field;
    SourceRecord record;
    bool quoted = false;
    bool inQuotes = false;
    const auto endField = [&] {
        if (record.size() >= MaxFields)
            throw csvRefusal(recordLine, QStringLiteral("列が %1 を超えています").arg(MaxFields));
        decoder.decodeInto(record, field, recordLine);
        field.resize(0); // keeps its room for the next field, where clear() would free it
        quoted = false;
    };
    const auto endRecord = [&] {
        endField();
        const qsizetype width = record.size();
        const qsizetype characters = record.textSize();
        // A blank line is no row.
        if (!(width == 1 && characters == 0)) {
            if (table.records.size() >= MaxRecords)
                throw csvRefusal(recordLine,
                                 QStringLiteral("行が %1 行を超えています").arg(MaxRecords));
            record.line = recordLine;
            table.records.append(std::move(record));
        }
        record = SourceRecord();
        // Rows are alike, and growing a row field by field costs.
        record.reserve(characters + characters / 4, width);
        recordBytes = 0;
        recordLine = line;
    };
    int c;
    while ((c = in.next()) >= 0) {
        if (++recordBytes > MaxRecordBytes)
            throw csvRefusal(recordLine,
                             QStringLiteral("1 行が %1 バイトを超えています").arg(MaxRecordBytes));
        if (inQuotes) {
            if (c == '"') {
                if (in.peek() == '"') {
                    in.next();
                    field.append('"');
                } else {
                    inQuotes = false;
                }
            } else {
                if (c == '\n')
                    ++line;
                field.append(char(c));
                recordBytes += in.appendWhile(field, [](int b) { return b != '"' && b != '\n'; });
            }
        } else if (c == '"' && field.isEmpty() && !quoted) {
            inQuotes = quoted = true;
        } else if (c == separator) {
            endField();
        } else if (c == '\r' && in.peek() == '\n') {
            continue;
        } else if (c == '\n') {
            ++line;
            endRecord();
        } else {
            field.append(char(c));
            recordBytes += in.appendWhile(field, [separator](int b) {
                return b != separator && b != '"' && b != '\r' && b != '\n';
            });
        }
    }
    if (inQuotes)
        throw csvRefusal(recordLine, QStringLiteral("引用符（\"）が閉じていません"));
    if (!field.isEmpty() || record.size() > 0)
        endRecord();
    return table;
}

} // namespace hondana::intake
