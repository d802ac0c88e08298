#include "core/Startup.h"

#include "base/Failure.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "core/AcceptanceRecord.h"
#include "core/AppState.h"
#include "core/Configuration.h"
#include "db/Connection.h"
#include "db/ConnectionString.h"

#include <QDir>
#include <QSqlError>
#include <QSqlQuery>

namespace hondana {

QString versionConnectionString(const QString &providerClause) {
    return providerClause + QStringLiteral("Data Source=INTVER.mdb;Persist Security Info=False");
}

QString readInstalledVersion(const QString &connectionString) {
    Connection connection(connectionString);
    connection.open();
    QSqlQuery query(connection.database());
    if (!query.exec(QStringLiteral("SELECT VER FROM VER ORDER BY rowid LIMIT 1")))
        throw Failure(QStringLiteral("バージョン情報「%1」を読めません: %2")
                          .arg(files::VersionDatabase, describeSqlError(query.lastError().text())));
    if (!query.next())
        return AppState::DefaultInstalledVersion;
    const QVariant version = query.value(0);
    if (version.isNull())
        throw Failure(QStringLiteral("バージョン情報「%1」のバージョン (VER) が空です。")
                          .arg(files::VersionDatabase));
    return version.toString();
}

namespace {

// Both connections are built from the configuration line, so a string they cannot use is a fault
// of JETDB.VER; saying so sends the user to the file that needs mending.
void checkConfiguredConnection(const QString &connectionString) {
    try {
        parseConnectionString(connectionString);
    } catch (const Failure &failure) {
        throw Failure(QStringLiteral("設定ファイル「%1」の接続文字列が使えません: %2")
                          .arg(files::Configuration, failure.message()));
    }
}

// A catalogue from an older installation gains our tables on its first start here. One that
// cannot take them (a read-only file) still opens: only what lives in them is unavailable, and
// the windows that need them say so.
void addOwnTables(const QString &connectionString) {
    try {
        Connection connection(connectionString);
        connection.open();
        connection.ensureOwnTables();
    } catch (const Failure &) {
    }
}

FirstWindow openAgreement(AppState &state) {
    state.admission = AppState::Admission::Pending;
    return FirstWindow::Agreement;
}

} // namespace

FirstWindow decideFirstWindow() {
    const QString line = readConfigurationLine();
    AppState &state = AppState::instance();
    state.mainConnectionString = line;
    state.providerClause = providerClause(line);
    state.admission = AppState::Admission::No;
    state.workingDirectory = QDir::currentPath();
    state.versionDatabasePath = QDir(state.workingDirectory).filePath(files::VersionDatabase);

    state.installedVersion = AppState::DefaultInstalledVersion;
    if (files::exists(files::VersionDatabase)) {
        const QString versionConnection = versionConnectionString(state.providerClause);
        checkConfiguredConnection(versionConnection);
        state.installedVersion = readInstalledVersion(versionConnection);
    }

    if (state.installedVersion != AppState::CurrentVersion) {
        if (!files::exists(files::Catalogue))
            safefile::copyFile(files::resolve(files::CatalogueTemplate),
                               files::resolve(files::Catalogue));
        return openAgreement(state);
    }

    // The catalogue is provisioned only on the way above, so a current version database beside
    // a missing catalogue is a broken installation, not a first start.
    if (!files::exists(files::Catalogue))
        throw Failure(QStringLiteral("蔵書データベース「%1」がありません。バージョン情報「%2」は"
                                     "ありますが、蔵書データベースが見つかりません。")
                          .arg(files::Catalogue, files::VersionDatabase));
    checkConfiguredConnection(state.mainConnectionString);
    AcceptanceRecord acceptance(state.mainConnectionString);
    if (!acceptance.exists())
        return openAgreement(state);
    acceptance.close();
    addOwnTables(state.mainConnectionString);
    state.admission = AppState::Admission::Yes;
    state.workingDirectory = QDir::currentPath();
    return FirstWindow::MainMenu;
}

} // namespace hondana
