#pragma once

#include <QString>

namespace hondana {

// The window the program opens first.
enum class FirstWindow { Agreement, MainMenu };

// The start-up decision over the current directory: reads JETDB.VER and the installed version,
// provisions TOSHO.MDB from its template on a first start, and fills AppState. Throws Failure
// (a Japanese message naming the file) when it cannot go on; the folder is then unchanged.
// Reads no book, so it takes the same time on any size of catalogue.
FirstWindow decideFirstWindow();

// The version connection's string: the provider clause of the configuration line followed by
// the version database's data source.
QString versionConnectionString(const QString &providerClause);

// The installed version that the version database behind `connectionString` records; the
// default version when its table has no row. The file is released before this returns, so the
// version upgrade can replace it. Throws Failure for an unreadable file or a null version.
QString readInstalledVersion(const QString &connectionString);

} // namespace hondana
