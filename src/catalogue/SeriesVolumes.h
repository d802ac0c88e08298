#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace hondana {

class Connection;

// A title the collection holds in volumes: the books that share it (as the search folds text),
// told apart by SEQNO, or by ｼﾘｰｽﾞ when it is a number, with 全体NO the number of volumes there
// are.
struct Series {
    // One book of the series: BOOK's rowid and its volume as a collector names it (the number,
    // else the designation; empty when it has neither).
    struct Book {
        qint64 rowId = 0;
        QString volume;
    };

    QString title;            // as the first of its books writes it
    QString reading;          // the first book's title reading; empty when it has none
    QList<int> owned;         // volume numbers, ascending, each once
    QStringList designations; // ｼﾘｰｽﾞ texts that are no number (上, 下, 別巻), in book order
    int total = 0;            // the largest 全体NO of its books; 0 when none says
    QList<Book> books;        // in the order of their volumes

    // Volumes up to the last one there is (全体NO, or the highest owned when that is larger or
    // not given) that the collection lacks, ascending.
    QList<int> missing() const;
    // Whether any volume is missing, without listing them.
    bool incomplete() const;
    // The volumes owned as a collector writes them: "1–5, 7, 上, 下".
    QString ownedText() const;
};

// "1–5, 7, 9": ascending numbers with runs of three or more written as first–last; a run of two
// is written as two numbers.
QString volumeRanges(const QList<int> &volumes);

// Every title the catalogue holds in more than one book, or in one book whose 全体NO says there
// are more, sorted by reading in Japanese order. Throws Failure when the catalogue cannot be
// read.
QList<Series> readSeries(Connection &connection);

} // namespace hondana
