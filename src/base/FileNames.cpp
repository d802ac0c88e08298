#include "base/FileNames.h"

#include "base/Failure.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace hondana::files {

bool isBareName(const QString &name) {
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) &&
           !name.contains(QChar(u'\0'));
}

QString resolve(const QString &name, const QString &folder) {
    if (!isBareName(name))
        throw Failure(QStringLiteral("ファイル名「%1」は使えません。ファイルは作業フォルダーに"
                                     "フォルダー名なしで置いてください。")
                          .arg(name));
    const QString base = folder.isEmpty() ? QDir::currentPath() : folder;
    const QString exact = QDir(base).filePath(name);
    if (QFileInfo::exists(exact))
        return exact;
    // Sorted so that the choice among several spellings does not depend on the directory order.
    QDir dir(base);
    const QStringList entries =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(entry);
    }
    return exact;
}

bool exists(const QString &name, const QString &folder) {
    if (!isBareName(name))
        return false;
    const QFileInfo info(resolve(name, folder));
    return info.exists() && info.isFile();
}

} // namespace hondana::files
