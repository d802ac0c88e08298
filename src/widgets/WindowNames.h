#pragma once

#include <QString>

namespace hondana::windows {

// The names under which every window is registered and asked for. A screen reaches another by
// name through the window registry, never by including it, so no screen depends on the one it
// opens. The names are the forms' own, which tests and stored settings know them by.
inline const QString MainMenu = QStringLiteral("MAINM");
inline const QString Agreement = QStringLiteral("KYODAKU");
inline const QString About = QStringLiteral("frmAbout");
inline const QString Register = QStringLiteral("MEISAI");
inline const QString Utilities = QStringLiteral("ALLDEL");
inline const QString Report = QStringLiteral("MEIPR");
inline const QString Help = QStringLiteral("HelpWindow");

inline const QString AuthorEditor = QStringLiteral("CHOSHA");
inline const QString PublisherEditor = QStringLiteral("HAKKO");
inline const QString CategoryEditor = QStringLiteral("BUNYA");
inline const QString SizeEditor = QStringLiteral("SAIZU");

inline const QString TitleSearch = QStringLiteral("DAIMEIQ");
inline const QString AuthorSearch = QStringLiteral("CHOSHAQ");
inline const QString NumberSearch = QStringLiteral("KANRIQ");
inline const QString UnreadList = QStringLiteral("MIDOKU");

inline const QString ListByCategory = QStringLiteral("BUNYA2");
inline const QString ListByAuthor = QStringLiteral("CHOSHA2");
inline const QString ListByPublisher = QStringLiteral("HAKKO2");

// Windows of our own beside the register, under its collection menu.
inline const QString BookDetails = QStringLiteral("SHOUSAI");
inline const QString KanaIndex = QStringLiteral("GOJUON");
inline const QString Import = QStringLiteral("TORIKOMI");
inline const QString IsbnSearch = QStringLiteral("ISBNKENSAKU");
// An action of the collection menu, without a window (WindowRegistry::run).
inline const QString CopyIsbns = QStringLiteral("ISBNCOPY");
inline const QString ShelfScan = QStringLiteral("TANAYOMI");
inline const QString Loans = QStringLiteral("KASHIDASHI");
inline const QString SeriesList = QStringLiteral("SHIRIIZU");
inline const QString Wishes = QStringLiteral("HOSHII");
inline const QString Statistics = QStringLiteral("TOUKEI");

} // namespace hondana::windows
