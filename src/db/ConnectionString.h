#pragma once

#include "base/FileNames.h"

#include <QString>

namespace hondana {

// The connection of the screens and the reset: through the catalogue's data-link file.
inline const QString CatalogueLinkConnection = QStringLiteral("FILE NAME=") + files::CatalogueLink;

// What a connection string says, once data-link files are followed: which database file and
// whether the connection shapes hierarchical record sets.
struct ConnectionTarget {
    QString dataSource; // a bare file name, resolved against the working folder when opened
    bool shaping = false;
};

// Parses "key=value;" lists. Keys are matched without regard to case; "FILE NAME=" reads the
// data-link file it names (from `folder`, the current directory when empty). The provider
// names of older installations are accepted as aliases of the embedded engine. Throws Failure
// with a Japanese message for anything else: an unknown provider, no data source, a data source
// outside the working folder, a missing or unreadable data-link file.
ConnectionTarget parseConnectionString(const QString &connectionString, const QString &folder = {});

// The connection string a data-link file holds: the first line that is neither blank, a
// "[section]" header nor a ";" comment. UTF-16 files with a byte-order mark and UTF-8 files
// are both read. Throws Failure naming the file when it is missing, unreadable or empty.
QString readDataLinkFile(const QString &fileName, const QString &folder = {});

} // namespace hondana
