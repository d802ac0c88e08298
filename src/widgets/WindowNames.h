#pragma once

#include <QString>

namespace hondana::windows {

// The names under which the single process-wide windows are registered and asked for. A screen
// reaches another by name through the window registry, never by including it, so no screen
// depends on the one it opens.
inline const QString MainMenu = QStringLiteral("MAINM");
inline const QString Agreement = QStringLiteral("KYODAKU");
inline const QString About = QStringLiteral("frmAbout");
inline const QString Register = QStringLiteral("MEISAI");
inline const QString Utilities = QStringLiteral("ALLDEL");
inline const QString Report = QStringLiteral("MEIPR");

} // namespace hondana::windows
