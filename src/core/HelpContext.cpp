#include "core/HelpContext.h"

#include "base/Failure.h"
#include "base/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace hondana::help {

namespace {

// A context map holds a handful of short lines; a bigger file is not one.
constexpr qint64 MaxMapBytes = 64 * 1024;

QString mappedPage(const QString &mapPath, int id) {
    QFile map(mapPath);
    if (!map.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("ヘルプの目次「%1」を読めません: %2")
                          .arg(ContextMapName, map.errorString()));
    const QString text = QString::fromUtf8(map.read(MaxMapBytes));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QStringList fields = line.simplified().split(QLatin1Char(' '));
        bool isNumber = false;
        if (fields.size() == 2 && fields.at(0).toInt(&isNumber) == id && isNumber)
            return fields.at(1);
    }
    throw Failure(QStringLiteral("ヘルプにトピック %1 がありません。").arg(id));
}

} // namespace

QString folderPath(const QString &folder) {
    const QString path = files::resolve(files::HelpFolder, folder);
    return QFileInfo(path).isDir() ? path : QString();
}

QString pagePath(int id, const QString &folder) {
    const QString helpFolder = folderPath(folder);
    if (helpFolder.isEmpty())
        throw Failure(
            QStringLiteral("ヘルプ「%1」が作業フォルダーにありません。").arg(files::HelpFolder));
    const QString map = files::resolve(ContextMapName, helpFolder);
    if (!QFileInfo(map).isFile())
        throw Failure(QStringLiteral("ヘルプの目次「%1/%2」がありません。")
                          .arg(files::HelpFolder, ContextMapName));
    const QString page = mappedPage(map, id);
    // The map names pages inside the help folder only.
    if (!files::isBareName(page) || !files::exists(page, helpFolder))
        throw Failure(QStringLiteral("ヘルプのページ「%1」がありません。").arg(page));
    return files::resolve(page, helpFolder);
}

} // namespace hondana::help
