#pragma once

#include "base/Failure.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>
#include <QString>

// Reading a build tool's sources and writing what it makes; a failure names the file.
namespace hondana::buildfiles {

inline QByteArray read(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return file.readAll();
}

// Under a temporary name, renamed when whole: an interrupted build leaves no half-made file.
inline void write(const QString &path, const QByteArray &bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Failure(QStringLiteral("%1: %2").arg(path, file.errorString()));
}

} // namespace hondana::buildfiles
