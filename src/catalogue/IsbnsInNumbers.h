#pragma once

#include "catalogue/Isbn.h"

#include <QList>
#include <QString>

namespace hondana {

class Connection;

// Users of the older program, which had no ISBN field, often typed the ISBN into 管理番号1,
// 管理番号2 or 請求番号. These find such books and copy the number into the ISBN of our own
// tables; the columns they were typed into are left as they are.
struct IsbnInNumbers {
    qint64 bookRowId = 0;
    QString column; // where it was found: the first of the three that holds a valid ISBN
    Isbn isbn;
};

// Books without an ISBN of their own whose number columns hold a valid one (a price barcode or a
// number whose check digit fails is none), in rowid order. Reads only. Throws Failure.
QList<IsbnInNumbers> findIsbnsInNumbers(Connection &connection);

// Copies them, all in one transaction, and returns how many books gained an ISBN. Throws
// Failure; then none is copied.
int copyIsbnsFromNumbers(Connection &connection);

} // namespace hondana
