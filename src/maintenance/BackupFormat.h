#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>

// The backup file set: five files of fixed-length records, one per catalogue table, no header.
// Every layout is one entry of the table behind layouts(); the writer and the reader below are
// driven by it and know nothing about a particular file.
namespace hondana::backup {

enum class FieldKind {
    Integer, // 4 bytes, little-endian two's complement
    Date,    // 8-byte little-endian double: days since 1899-12-30
    Text,    // code page 932, padded with blanks
    Stamp,   // a Text field with the reading-stamp rule: empty → "未", "*" → "済"
};

struct Field {
    QString column;
    int offset;
    FieldKind kind;
    int width;
    // What is written when the column is empty (null, or an empty text).
    QVariant whenEmpty;
    QString whenEmptyText; // whenEmpty of a Text or Stamp field, kept for views into it
    // A row whose value here is empty is left out of the file.
    bool requiredForRow = false;
};

struct Layout {
    QString fileName;
    QString table;
    int recordLength;
    QList<Field> fields;

    // The column names in field order, for SELECT and INSERT statements.
    QStringList columns() const;
};

// BOOK.DAT, BUNYA.DAT, CHOSHA.DAT, HAKKO.DAT, SAIZU.DAT, in the order backup and restore use.
const QList<Layout> &layouts();
const Layout &layout(const QString &fileName);

// The day count of a date: days since 1899-12-30.
double dayCount(const QDate &date);

// One column value as the database hands it over; text is UTF-8, a view into the engine's
// buffer.
struct FieldValue {
    enum Type { Null, Integer, Real, Text };
    Type type = Null;
    qint64 integer = 0;
    double real = 0;
    QByteArrayView text;

    static FieldValue from(const QVariant &value, QByteArray &storage);
};

// Builds one record. `values` holds the row's columns in field order. Returns false (and
// writes nothing) when the row is one the file leaves out. Throws Failure naming the file,
// the row and the column for a number outside 32 bits or a value that is not a date.
bool encodeRecord(const Layout &layout, const FieldValue *values, char *record, qint64 rowNumber);
bool encodeRecord(const Layout &layout, const QVariant *values, char *record, qint64 rowNumber);

// The fields of a record one at a time, for readers that hand each value on at once.
qint32 readInteger(const char *field);
// Throws Failure as decodeRecord does.
QDate readDate(const Layout &layout, const Field &field, const char *record, qint64 recordNumber);
// "YYYY-MM-DD", the form the catalogue stores, into `out` (10 bytes).
void formatIsoDate(const QDate &date, char *out);

// Reads one record into `values` (resized to the field count): Integer → int, Date → QDate,
// Text and Stamp → QString with its trailing blanks. Throws Failure naming the file and the
// 1-based record number for a day count that is no calendar date of the years 1 to 9999.
void decodeRecord(const Layout &layout, const char *record, qint64 recordNumber,
                  QVariantList &values);

// Reads the whole records of one backup file in order, a block at a time; a trailing
// fragment shorter than a record is ignored. Throws Failure naming the file.
class RecordReader {
public:
    RecordReader(const Layout &layout, const QString &path);
    ~RecordReader();
    RecordReader(const RecordReader &) = delete;
    RecordReader &operator=(const RecordReader &) = delete;

    // The next record, or nullptr at the end. The pointer stays valid until the next call.
    const char *next();
    // 1-based number of the record next() returned last.
    qint64 recordNumber() const { return m_recordNumber; }
    // Once next() returned nullptr: the bytes of the trailing fragment it ignored.
    qint64 leftOver() const { return m_used - m_position; }

private:
    const Layout &m_layout;
    QString m_path;
    int m_fd = -1;
    QByteArray m_block;
    qsizetype m_used = 0;
    qsizetype m_position = 0;
    qint64 m_recordNumber = 0;
    bool m_atEnd = false;
};

} // namespace hondana::backup
