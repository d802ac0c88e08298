#pragma once

#include <QString>

namespace hondana {

// The help: HTML pages in the help folder of the working folder, and a file "context.map" in it
// whose lines "<id> <page>" say which page shows the topic of a context id.
namespace help {

inline const QString ContextMapName = QStringLiteral("context.map");

// The help folder in `folder` (the current directory when empty), matched without regard to
// case; empty when there is none.
QString folderPath(const QString &folder = {});

// The page that shows context `id`. Throws Failure with a Japanese message for a missing help
// folder, map or page, and for an id the map does not know.
QString pagePath(int id, const QString &folder = {});

} // namespace help
} // namespace hondana
