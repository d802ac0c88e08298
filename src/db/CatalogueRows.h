#pragma once

#include "db/RecordLoader.h"
#include "db/RecordStorage.h"

#include <QHash>

#include <memory>
#include <vector>

namespace hondana {

// Every book and the four master lists of one catalogue file as they were read at one moment,
// shared by every read-only set that shows them, never changed. The books stand in the
// register's order (author, title, number), which the engine reads straight from its index.
// A write to the file, by this program or another, makes the next caller read it again.
struct CatalogueRows {
    struct Table {
        RecordFields fields;
        std::shared_ptr<const RecordStorage> rows;
    };
    // Books, then the masters in the order of schema::masterNameColumns().
    enum Part { Books, Authors, Publishers, Categories, Sizes, PartCount };
    Table parts[PartCount];
    // The books' orders the queries over these rows asked for, by their columns: each is
    // worked out once per read.
    mutable QHash<QString, std::shared_ptr<const std::vector<qint32>>> orders;

    // The rows of the catalogue file at `path`, read again only when it was written since.
    // Throws Failure.
    static std::shared_ptr<const CatalogueRows> of(const QString &path);
    // The master table of `part` and the number column by which books refer to it.
    static QString tableOf(Part part);
    static QString numberOf(Part part);
};

} // namespace hondana
