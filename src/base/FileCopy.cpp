#include "base/FileCopy.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"
#include "base/FileNames.h"
#include "base/SafeFile.h"

#include <QFile>
#include <QFileInfo>

namespace hondana {

namespace {

constexpr qint64 ChunkBytes = 1 << 20;

Failure copyFailure(const QString &sourceName, const QString &targetName, const QString &why) {
    return Failure(
        QStringLiteral("「%1」を「%2」にコピーできません: %3").arg(sourceName, targetName, why));
}

} // namespace

void copyFileReplacing(const QString &sourceName, const QString &targetName,
                       const QString &folder) {
    if (!files::exists(sourceName, folder))
        throw copyFailure(sourceName, targetName,
                          QStringLiteral("コピー元のファイルがありません。"));
    QFile source(files::resolve(sourceName, folder));
    if (!source.open(QIODevice::ReadOnly))
        throw copyFailure(sourceName, targetName, source.errorString());
    const QString targetPath = files::resolve(targetName, folder);
    const QByteArray step = "copy." + targetName.toUtf8();
    try {
        safefile::ReplacingFileWriter target(targetPath);
        while (!source.atEnd()) {
            const QByteArray chunk = source.read(ChunkBytes);
            if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
                throw Failure(source.errorString());
            target.write(chunk.constData(), chunk.size());
        }
        faultpoint(step.constData());
        target.commit();
        safefile::syncFolder(QFileInfo(targetPath).absolutePath());
    } catch (const Failure &failure) {
        throw copyFailure(sourceName, targetName, failure.message());
    }
    faultpoint((step + ".done").constData());
}

} // namespace hondana
