#pragma once

#include <QString>

namespace hondana {

// The program-wide values that several screens read and write. One instance for the process
// (AppState::instance()); tests reset it with reset().
struct AppState {
    static inline const QString CurrentVersion = QStringLiteral("1.02");
    // The installed version when no version database says otherwise.
    static inline const QString DefaultInstalledVersion = QStringLiteral("1.01");

    enum class Admission { No, Pending, Yes };

    Admission admission = Admission::No;
    // 1 while a screen the register opened (a master editor, a search, a grouped list) is open:
    // the register then opens no other screen and does not close. Nothing stores it; only
    // RegisterSubWindow sets and clears it.
    qint16 subWindowFlag = 0;
    QString workingDirectory;
    QString installedVersion = DefaultInstalledVersion;
    QString versionDatabasePath;
    // The configuration line: the main connection's connection string.
    QString mainConnectionString = QStringLiteral(
        "Provider=Microsoft.Jet.OLEDB.3.51;Persist Security Info=False;Data Source=TOSHO.mdb;"
        "Mode=Share Deny None;");
    // The configuration line up to and including its first ";".
    QString providerClause;

    static AppState &instance();
    void reset() { *this = AppState(); }
};

} // namespace hondana
