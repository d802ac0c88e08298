#pragma once

// Small helpers the tests share for Japanese literals and whole files.

#include <QByteArray>
#include <QFile>
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

} // namespace hondana::test
