#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace hondana::intake {

// One row of another catalogue's file, as its texts.
struct SourceRecord {
    qint64 line = 0; // where the row begins in the file (an entry's number in an XML file)
    QStringList fields;
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
