#pragma once

#include <QStringList>

namespace hondana::test {

// How many master rows a test catalogue holds, whatever its number of books.
inline constexpr int Authors = 40;
inline constexpr int Publishers = 20;
inline constexpr int Categories = 12;
inline constexpr int Sizes = 12;

// The files a backup writes, in the order it writes them.
inline const QStringList BackupFiles = {
    QStringLiteral("BOOK.DAT"),  QStringLiteral("BUNYA.DAT"), QStringLiteral("CHOSHA.DAT"),
    QStringLiteral("HAKKO.DAT"), QStringLiteral("SAIZU.DAT"), QStringLiteral("HONDANA.DAT")};

// The shipped starting catalogue copied to `fileName` in `folder`, holding `books` books and the
// masters above: every column used and each of them null in some row, the four kinds of reading
// stamp, day 0 among the dates, and characters code page 932 finds hard. With `accepted` the
// agreement is recorded, as after an earlier start. The same arguments give the same bytes.
void makeCatalogue(const QString &folder, int books, bool accepted = true,
                   const QString &fileName = QStringLiteral("TOSHO.MDB"));

// The version database `fileName` of `folder`, holding `version` as its row; NoRow leaves the
// table empty, NullVersion writes a null.
inline const QString NoRow = QStringLiteral("<no row>");
inline const QString NullVersion = QStringLiteral("<null>");
void writeVersionDatabase(const QString &folder, const QString &version,
                          const QString &fileName = QStringLiteral("INTVER.mdb"));

} // namespace hondana::test
