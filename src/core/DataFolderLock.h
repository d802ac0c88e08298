#pragma once

#include <QString>

#include <memory>

class QLockFile;

namespace hondana {

// One data folder is used by one program at a time: the program, and the command-line tool
// while it replaces or empties the catalogue, hold a lock file in the folder. A second program
// that finds it held is told who holds it, before it reads or changes anything. A lock left by
// a program that has ended (a crash, a kill) is taken over.
class DataFolderLock {
public:
    // Takes the lock of `folder` (the current directory when empty). Throws Failure naming the
    // program that holds it, or the reason the folder takes no lock file.
    explicit DataFolderLock(const QString &folder = {});
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock &) = delete;
    DataFolderLock &operator=(const DataFolderLock &) = delete;

    QString folder() const { return m_folder; }

private:
    QString m_folder;
    std::unique_ptr<QLockFile> m_file;
};

// The program's own hold on its data folder, kept until the process ends or holds another
// folder. Holding the folder it already holds does nothing. Throws Failure as DataFolderLock.
void holdDataFolder(const QString &folder);
// Lets go of the folder the program holds, when its start fails.
void releaseDataFolder();

} // namespace hondana
