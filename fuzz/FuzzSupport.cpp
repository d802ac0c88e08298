#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>

namespace hondana::fuzz {

QString scratchFolder() {
    static QTemporaryDir folder;
    if (!folder.isValid())
        require(false, "cannot create a scratch folder");
    return folder.path();
}

void writeScratchFile(const QString &name, const QByteArray &bytes) {
    QFile file(QDir(scratchFolder()).filePath(name));
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write a scratch file");
    require(file.write(bytes) == bytes.size(), "cannot write a scratch file");
}

void require(bool condition, const char *what) {
    if (!condition) {
        std::fprintf(stderr, "property violated: %s\n", what);
        std::abort();
    }
}

Split splitAtNul(const uint8_t *data, size_t size) {
    const QByteArray all(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = all.indexOf('\0');
    if (nul < 0)
        return {all, {}};
    return {all.left(nul), all.mid(nul + 1)};
}

} // namespace hondana::fuzz
