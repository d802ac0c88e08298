#pragma once

#include "catalogue/WishList.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <initializer_list>
#include <optional>

// The backup file of our own data, written beside the five .DAT files. A book or master entry
// has no key the .DAT files carry, so each line names its record by the file, the record's
// position in it and a digest of the record's bytes; restore attaches a line only where both
// still match. The format is UTF-8 text, one line per piece of data, lines ending in LF:
//
//   HONDANA-OWN-DATA<TAB>3
//   <.DAT file><TAB><position><TAB><digest><TAB><kind><TAB><value>...
//   -<TAB>0<TAB><TAB><kind><TAB><value>...
//
// position is the 1-based record number in the .DAT file; digest the XXH3 128-bit hash of the
// record's bytes (version 1: MD5), in lower-case hex (a check that the record is the same, not a
// seal against forgery); kind says what the values are:
//   "reading" (lines of any of the three files): the reading and its origin, "user" or
//             "suggested";
//   "isbn"    (BOOK.DAT lines; written since our tables' second version, within this file's
//             version 2): the 13 digits of the book's ISBN-13;
//   "loan"    (BOOK.DAT lines; since version 3, one line per lending of the book): the borrower,
//             the date lent, the date due and the date returned, as YYYY-MM-DD, the last two
//             empty when none.
// Data that belongs to no record stands on lines of the second form (since version 3): the file
// "-", position 0 and an empty digest, after every record's lines. Their kind:
//   "wish"    a book on the wish list: its priority (1..3), the date it was added (yyyy-MM-dd),
//             title, author, ISBN (13 digits or empty) and note.
// A line of a kind the reader does not know is kept with the lines it cannot attach. Tabs, line
// breaks and backslashes in a value are written as \t, \n, \r and \\.
namespace hondana::owndatafile {

inline const QString FileName = QStringLiteral("HONDANA.DAT");
// The version written; every version from OldestVersion on is read.
inline constexpr int Version = 3;
inline constexpr int OldestVersion = 1;
inline const QString ReadingKind = QStringLiteral("reading");
inline const QString IsbnKind = QStringLiteral("isbn");
inline const QString WishKind = QStringLiteral("wish");
inline const QString LoanKind = QStringLiteral("loan");
// The file a line of data that belongs to no record names.
inline constexpr QLatin1StringView NoRecordFile("-");

// The .DAT files whose records can carry our data, in the order backup and restore go through
// them.
inline constexpr QLatin1StringView CarryingFiles[] = {
    QLatin1StringView("BOOK.DAT"), QLatin1StringView("CHOSHA.DAT"), QLatin1StringView("HAKKO.DAT")};

QByteArray headerLine(int version = Version);
// A digest as the 16 bytes its 32 lower-case hex digits in a line spell.
using Digest = std::array<unsigned char, 16>;
// The digest a file of `version` gives `record`.
Digest recordDigest(QByteArrayView record, int version = Version);
// The digest a line's digest field spells; nullopt when it is not 32 lower-case hex digits.
std::optional<Digest> digestFromText(QByteArrayView text);
// The digest of the version written, in two steps: backup hashes each record on its own thread,
// which must not wait, and leaves spelling the digest out to the thread that writes the lines.
struct RecordHash {
    quint64 low = 0;
    quint64 high = 0;
};
inline constexpr qsizetype DigestLength = 32;
RecordHash hashRecord(QByteArrayView record);
// Writes the DigestLength hex digits of `hash` to `out`.
void spellDigest(const RecordHash &hash, char *out);

// A line as it stands in the file: views into its text, the values still escaped.
struct LineFields {
    QByteArrayView file;
    qint64 position = 0;
    QByteArrayView digest;
    QByteArrayView kind;
    QByteArrayView values; // tab-separated; empty when the line has none
};
// False when the line has not the shape of one: too few fields, no position, no whole digest
// (neither a record's nor one that belongs to no record).
bool splitLine(QByteArrayView text, LineFields &fields);
// Whether a line split by splitLine belongs to no record.
bool belongsToNoRecord(const LineFields &fields);
// The values, unescaped, into `values` (whose buffers are reused); false for an escape that is
// none of ours or a value that is no UTF-8.
bool decodeValues(QByteArrayView escaped, QList<QByteArray> &values);

// Whether the values of a "loan" line are one restore can store: a borrower that is not blank,
// a real lending date, and a due and a return date each empty or real and not before it.
bool isLoanLine(const QList<QByteArray> &values);

// Walks the lines of a file of ours after its header, never holding more than the bytes given.
class LineReader {
public:
    explicit LineReader(QByteArrayView bytes);
    // Set when the file as a whole cannot be read (no header, another version, too large).
    const QString &problem() const { return m_problem; }
    int version() const { return m_version; }
    // The next line that is not empty, without its line end; false after the last.
    bool next(QByteArrayView &text);

private:
    QByteArrayView m_bytes;
    qsizetype m_next = 0;
    int m_version = 0;
    QString m_problem;
};

struct Line {
    QString file;
    qint64 position = 0;
    QByteArray digest; // as written: 32 hex digits
    QString kind;
    QStringList values;
    QByteArray text; // the line as it stands in the file, without its LF
};

QByteArray formatLine(const QString &file, qint64 position, const QByteArray &digest,
                      const QString &kind, const QStringList &values);
// The same line from UTF-8 values, appended to `out`.
void appendLine(QByteArray &out, QByteArrayView file, qint64 position, QByteArrayView digest,
                QByteArrayView kind, std::initializer_list<QByteArrayView> values);

// What a file of ours held. Lines that cannot be read are kept as they stood, never dropped.
struct Contents {
    int version = 0;
    QList<Line> lines;
    QList<QByteArray> unreadable;
    // Set when the file as a whole cannot be read (no header, another version, too large);
    // then nothing is in `lines` and the whole file is to be kept.
    QString problem;
};

// Longest line a reader takes; a longer one is unreadable.
inline constexpr qsizetype MaxLineLength = 64 * 1024;
inline constexpr qint64 MaxFileSize = qint64(512) * 1024 * 1024;

// The values of a "wish" line, and the wish they spell: nullopt for a wrong count, a priority
// out of range, a date that is none, no title or an ISBN that is not 13 valid digits.
QStringList wishValues(const Wish &wish);
std::optional<Wish> wishFromValues(const QStringList &values);

// Reads the bytes of a file of ours. Never throws: whatever is wrong ends up in `problem` or
// `unreadable`.
Contents parse(QByteArrayView bytes);

} // namespace hondana::owndatafile
