#include "app/FileCopy.h"

#include "db/Failure.h"
#include "db/FileNames.h"
#include "maintenance/FaultPoint.h"

#include <QFile>
#include <QSaveFile>

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
    QSaveFile target(files::resolve(targetName, folder));
    if (!target.open(QIODevice::WriteOnly))
        throw copyFailure(sourceName, targetName, target.errorString());
    while (!source.atEnd()) {
        const QByteArray chunk = source.read(ChunkBytes);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError)
            throw copyFailure(sourceName, targetName, source.errorString());
        if (target.write(chunk) != chunk.size())
            throw copyFailure(sourceName, targetName, target.errorString());
    }
    const QByteArray step = "copy." + targetName.toUtf8();
    faultpoint(step.constData());
    if (!target.commit())
        throw copyFailure(sourceName, targetName, target.errorString());
    faultpoint((step + ".done").constData());
}

} // namespace hondana
