#pragma once

#include <QString>

namespace hondana::files {

// The fixed names of the files in the working folder.
inline const QString Catalogue = QStringLiteral("TOSHO.MDB");
inline const QString CatalogueTemplate = QStringLiteral("TOSHOINI.MDB");
inline const QString RestoreTemplate = QStringLiteral("TOSHODEF.MDB");
inline const QString WorkCopy = QStringLiteral("TOSHOCPY.MDB");
inline const QString VersionDatabase = QStringLiteral("INTVER.mdb");
inline const QString VersionTemplate = QStringLiteral("intdef.ver");
inline const QString Configuration = QStringLiteral("JETDB.VER");
inline const QString CatalogueLink = QStringLiteral("Karobu.udl");
inline const QString AgreementLink = QStringLiteral("KYODAKU.udl");
inline const QString AgreementDatabase = QStringLiteral("KYODAKU.MDB");
inline const QString HelpFolder = QStringLiteral("KAROBU.chm");
// Held while a program uses the folder (see DataFolderLock).
inline const QString FolderLock = QStringLiteral("hondana.lock");

// True when `name` is a plain file name: no folder part, not "." or "..". Every file the
// program touches lies in the working folder, so anything else is refused.
bool isBareName(const QString &name);

// The path of `name` in `folder` (the current directory when empty), matched without regard
// to case: "TOSHO.mdb" finds "TOSHO.MDB" on disk. When no file matches, the path with the
// name as given, so it can be created. Throws Failure for a name that is not bare.
QString resolve(const QString &name, const QString &folder = {});

// Whether a plain file of that name (matched without regard to case) exists in the folder.
bool exists(const QString &name, const QString &folder = {});

} // namespace hondana::files
