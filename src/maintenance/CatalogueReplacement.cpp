#include "maintenance/CatalogueReplacement.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"
#include "db/Connection.h"

#include <QFileInfo>

namespace hondana {

namespace {

const char *const SideFileSuffixes[] = {"-journal", "-wal", "-shm"};

void releaseCatalogue(const QString &catalogue) {
    closeAllConnectionsTo(catalogue);
    if (openConnectionCount(catalogue) != 0)
        throw Failure(
            QStringLiteral("「%1」を使っている接続を閉じられません。").arg(files::Catalogue));
}

// A save cut short (a crash, a power loss) leaves the old catalogue's journal behind, and SQLite
// rolls it back when the file is next read. Let that happen now, while the journal still
// belongs to the old file: left in place, it would be replayed into the new catalogue.
void settleOldCatalogue(const QString &catalogue) {
    bool sideFiles = false;
    for (const char *suffix : SideFileSuffixes)
        sideFiles = sideFiles || QFileInfo::exists(catalogue + QLatin1String(suffix));
    if (!sideFiles || !QFileInfo(catalogue).isFile())
        return;
    try {
        closeDatabase(openDatabaseFile(catalogue, QStringLiteral("settle")));
    } catch (const Failure &) {
        // A catalogue SQLite cannot read is about to be replaced anyway.
    }
}

} // namespace

void removeSideFiles(const QString &path) {
    for (const char *suffix : SideFileSuffixes)
        safefile::removeFile(path + QLatin1String(suffix));
}

void replaceCatalogue(const QString &workCopy, const QString &catalogue, const char *step) {
    const QByteArray prefix(step);
    releaseCatalogue(catalogue);
    settleOldCatalogue(catalogue);
    removeSideFiles(catalogue);
    faultpoint((prefix + ".rename").constData());
    safefile::renameReplacing(workCopy, catalogue);
    faultpoint((prefix + ".renamed").constData());
    safefile::syncFolder(QFileInfo(catalogue).absolutePath());
}

} // namespace hondana
