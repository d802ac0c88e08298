#include "support/DataFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

namespace hondana::test {

QString DataFolder::shippedDataDir() {
    return qEnvironmentVariable("HONDANA_SHARE_DIR");
}

DataFolder::DataFolder(Seed seed) : m_previous(QDir::currentPath()) {
    if (!m_dir.isValid())
        qFatal("cannot create a temporary folder");
    if (seed == ShippedFiles) {
        const QDir shipped(shippedDataDir());
        if (shippedDataDir().isEmpty() || !shipped.exists())
            qFatal("HONDANA_SHARE_DIR does not name the staged data set");
        // The help lies in a subfolder of the data set; it comes along.
        QDirIterator it(shipped.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            const QString relative = shipped.relativeFilePath(it.filePath());
            QDir(m_dir.path()).mkpath(QFileInfo(relative).path());
            QFile::copy(it.filePath(), filePath(relative));
            QFile::setPermissions(filePath(relative),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
        }
    }
    QDir::setCurrent(m_dir.path());
}

DataFolder::~DataFolder() {
    QDir::setCurrent(m_previous);
}

QString DataFolder::filePath(const QString &name) const {
    return QDir(m_dir.path()).filePath(name);
}

void DataFolder::copyShipped(const QString &name, const QString &as) const {
    const QString target = filePath(as.isEmpty() ? name : as);
    QFile::remove(target);
    if (!QFile::copy(QDir(shippedDataDir()).filePath(name), target))
        qFatal("cannot copy a shipped file");
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace hondana::test
