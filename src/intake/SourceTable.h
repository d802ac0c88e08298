#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace hondana::intake {

// One row of another catalogue's file, as its texts. A whole collection has millions of fields,
// mostly short or empty: a row keeps them one after another in a single text, so reading a file
// costs an allocation per row rather than one per field.
class SourceRecord {
public:
    qint64 line = 0; // where the row begins in the file (an entry's number in an XML file)

    SourceRecord() = default;
    SourceRecord(qint64 line, const QStringList &fields);

    qsizetype size() const { return m_ends.size(); }
    // Empty past the last field, as a short row's missing ones read.
    QStringView field(qsizetype index) const;
    QStringList fields() const;

    void append(QStringView text);
    // Appends a field whose text the caller writes: `room` characters are made available at the
    // returned place, and endField() keeps the first `used` of them. For decoders that write
    // straight into the row.
    QChar *beginField(qsizetype room);
    void endField(qsizetype used);
    // Room for a row of about this many characters and fields, as rows of one file are alike.
    void reserve(qsizetype characters, qsizetype fields);
    qsizetype textSize() const { return m_text.size(); }

private:
    QString m_text;
    QList<qsizetype> m_ends; // where each field ends in m_text
};

// What a file held, before anything is made of it: its columns' names and its rows.
struct SourceTable {
    QStringList columns;
    QList<SourceRecord> records;
    QString encoding; // as the file was read: "UTF-8" or "CP932"
};

// How many rows a file may bring: far more than any private collection, and few enough that the
// books fit in memory.
inline constexpr qsizetype MaxRecords = 1'000'000;

} // namespace hondana::intake
