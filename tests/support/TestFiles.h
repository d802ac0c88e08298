#pragma once

// Small helpers the tests share for Japanese literals and whole files.

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMap>
#include <QString>

namespace hondana::test {

// Japanese literals in the sources are UTF-8.
inline QString u8(const char *text) {
    return QString::fromUtf8(text);
}

// A file's bytes; "<missing>" when it cannot be read, so comparisons say what went wrong.
inline QByteArray contents(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes `bytes` as the whole file; a test cannot go on without it.
inline void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Every file below `folder` (the current directory when empty), by relative path, with a digest
// of its bytes; two snapshots compare equal when nothing in the folder changed.
inline QMap<QString, QByteArray> folderSnapshot(const QString &folder = {}) {
    const QDir base(folder.isEmpty() ? QDir::currentPath() : folder);
    QMap<QString, QByteArray> snapshot;
    QDirIterator it(base.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        snapshot.insert(base.relativeFilePath(path),
                        QCryptographicHash::hash(contents(path), QCryptographicHash::Sha256));
    }
    return snapshot;
}

} // namespace hondana::test
