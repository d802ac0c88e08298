#pragma once

#include "catalogue/Isbn.h"

#include <QDate>
#include <QList>
#include <QString>

namespace hondana {

// A name as the service gives it, with its reading in katakana (empty when it gives none).
struct NameWithReading {
    QString name;
    QString reading;
    friend bool operator==(const NameWithReading &, const NameWithReading &) = default;
};

// What the service knows of one book, in the service's own words: nothing is fitted to the
// register's columns here, so the command line can print it as it came.
struct LookedUpBook {
    Isbn isbn;
    NameWithReading title;
    QList<NameWithReading> authors;
    NameWithReading publisher;
    QString issued;   // as written: "2014", "2014-04" or "2014-04-15"
    QDate issuedDate; // the first day of what `issued` names; null when it names none
    QString price;    // as written: "1500円", "本体680円+税"
    int priceYen = 0; // the first amount in `price`; 0 when there is none
    QString extent;   // "222p ; 20cm"
    QString size;     // the size in `extent`: "20cm"
    QString ndc;      // the classification: "913.6"
};

} // namespace hondana
