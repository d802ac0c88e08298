#include "core/AgreementAcceptance.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "core/AcceptanceRecord.h"
#include "core/AppState.h"
#include "db/Connection.h"
#include "maintenance/BackupData.h"
#include "maintenance/RestoreData.h"

#include <QDir>
#include <QFileInfo>

namespace hondana {

namespace {

QString versionDatabaseName(const AppState &state) {
    return QFileInfo(state.versionDatabasePath).fileName();
}

QString versionDatabaseFolder(const AppState &state) {
    return QFileInfo(state.versionDatabasePath).path();
}

void installVersionDatabase(const AppState &state) {
    safefile::copyFile(files::resolve(files::VersionTemplate, versionDatabaseFolder(state)),
                       files::resolve(versionDatabaseName(state), versionDatabaseFolder(state)));
}

Acceptance recordFirstAcceptance(AcceptanceRecord &record, AppState &state) {
    record.add();
    faultpoint("accept.recorded");
    if (!files::exists(versionDatabaseName(state), versionDatabaseFolder(state))) {
        try {
            installVersionDatabase(state);
        } catch (const Failure &failure) {
            throw Failure(QStringLiteral("同意は記録しましたが、バージョン情報「%1」を作れません"
                                         "でした。\n\n%2")
                              .arg(versionDatabaseName(state), failure.message()));
        }
    }
    record.close();
    state.admission = AppState::Admission::Yes;
    state.workingDirectory = QDir::currentPath();
    return Acceptance::Recorded;
}

void releaseReplacedFiles(const AppState &state) {
    closeAllConnectionsTo(files::resolve(files::Catalogue, state.workingDirectory));
    closeAllConnectionsTo(files::resolve(versionDatabaseName(state), versionDatabaseFolder(state)));
}

// Backup writes the data in the layout every release reads; restore rebuilds the catalogue from
// it in the current layout. The version database is replaced only after both succeeded.
Acceptance upgrade(AcceptanceRecord &record, const AppState &state, const Progress &progress) {
    record.close();
    releaseReplacedFiles(state);
    try {
        backupData(AppState::instance().mainConnectionString, {}, progress);
        faultpoint("upgrade.backedup");
        restoreData({}, {false, progress});
        faultpoint("upgrade.restored");
    } catch (const Failure &failure) {
        throw Failure(QStringLiteral("バージョンアップできませんでした。蔵書データベースと"
                                     "バージョン情報は元のままです。原因を取り除いてから、"
                                     "もう一度起動してください。\n\n%1")
                          .arg(failure.message()));
    }
    releaseReplacedFiles(state);
    try {
        installVersionDatabase(state);
        faultpoint("upgrade.installed");
    } catch (const Failure &failure) {
        throw Failure(QStringLiteral("蔵書データベースは新しい形式に作り直しましたが、バージョン"
                                     "情報「%1」を更新できませんでした。次に起動したときに"
                                     "もう一度バージョンアップします。\n\n%2")
                          .arg(versionDatabaseName(state), failure.message()));
    }
    return Acceptance::Upgraded;
}

} // namespace

Acceptance acceptAgreement(const Progress &progress) {
    AppState &state = AppState::instance();
    AcceptanceRecord record(state.mainConnectionString);
    if (!record.exists())
        return recordFirstAcceptance(record, state);
    if (state.installedVersion != AppState::CurrentVersion) {
        if (!files::exists(files::VersionTemplate, state.workingDirectory)) {
            state.admission = AppState::Admission::No;
            return Acceptance::NoUpgradeInformation;
        }
        return upgrade(record, state, progress);
    }
    state.admission = AppState::Admission::No;
    return Acceptance::AlreadyUpgraded;
}

} // namespace hondana
