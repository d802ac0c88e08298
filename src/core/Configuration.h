#pragma once

#include <QString>

namespace hondana {

// The first line of JETDB.VER in `folder` (the current directory when empty): the main
// connection's connection string. Throws Failure naming the file when it is missing,
// unreadable, empty, or has no line end within a sensible length.
QString readConfigurationLine(const QString &folder = {});

// The line up to and including its first ";", empty when it has none.
QString providerClause(const QString &line);

} // namespace hondana
