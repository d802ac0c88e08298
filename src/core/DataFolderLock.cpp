#include "core/DataFolderLock.h"

#include "base/Failure.h"
#include "base/FileNames.h"

#include <QDir>
#include <QLockFile>

namespace hondana {

namespace {

QString holderOf(const QLockFile &file) {
    qint64 pid = 0;
    QString program;
    if (!file.getLockInfo(&pid, nullptr, &program))
        return QStringLiteral("ほかのプログラム");
    if (program == u"hondana")
        program = QStringLiteral("本棚帖");
    return QStringLiteral("%1 (プロセス番号 %2)").arg(program).arg(pid);
}

} // namespace

DataFolderLock::DataFolderLock(const QString &folder)
    : m_folder(QDir(folder.isEmpty() ? QDir::currentPath() : folder).absolutePath()),
      m_file(std::make_unique<QLockFile>(QDir(m_folder).filePath(files::FolderLock))) {
    // The program holds the folder for hours: only a holder that has ended lets go of it.
    m_file->setStaleLockTime(0);
    if (m_file->tryLock(0))
        return;
    if (m_file->error() == QLockFile::LockFailedError)
        throw Failure(QStringLiteral("蔵書データベースは既に開いています: データフォルダー「%1」は"
                                     "%2 が使用中です。そちらを閉じてからもう一度始めてください。")
                          .arg(QDir::toNativeSeparators(m_folder), holderOf(*m_file)));
    throw Failure(QStringLiteral("データフォルダー「%1」にロックファイル「%2」を作れません"
                                 "（場所か権限を確かめてください）。")
                      .arg(QDir::toNativeSeparators(m_folder), files::FolderLock));
}

DataFolderLock::~DataFolderLock() = default;

namespace {

std::unique_ptr<DataFolderLock> &held() {
    static std::unique_ptr<DataFolderLock> lock;
    return lock;
}

} // namespace

void releaseDataFolder() {
    held().reset();
}

void holdDataFolder(const QString &folder) {
    auto &held = hondana::held();
    const QString absolute = QDir(folder).absolutePath();
    if (held && held->folder() == absolute)
        return;
    held.reset();
    held = std::make_unique<DataFolderLock>(absolute);
}

} // namespace hondana
