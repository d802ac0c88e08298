#pragma once

#include <QByteArray>
#include <QString>

// File steps that must either happen completely or leave the earlier file as it was.
namespace hondana::safefile {

// Writes a file under a temporary name beside the real one and renames it into place on
// commit(), after flushing it to disk. Until then the earlier file stays as it was; a writer
// destroyed without commit() removes its temporary file. Throws Failure naming the file.
class ReplacingFileWriter {
public:
    explicit ReplacingFileWriter(const QString &path);
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter &) = delete;
    ReplacingFileWriter &operator=(const ReplacingFileWriter &) = delete;

    void write(const char *data, qsizetype size);
    void commit();
    static QString temporaryPath(const QString &path);

private:
    void flushBuffer();
    [[noreturn]] void fail(const QString &what, int error);

    QString m_path;
    QString m_temporary;
    int m_fd = -1;
    QByteArray m_buffer;
};

// Makes sure what was written into `folder` (a rename, a new file) is on disk.
void syncFolder(const QString &folder);
// Flushes the file at `path` to disk. Throws Failure naming the file.
void syncFile(const QString &path);

// Renames `from` over `to` in one step: `to` is either the old file or the new one, never
// missing. Throws Failure naming both files.
void renameReplacing(const QString &from, const QString &to);

// Copies `from` to `to`, writable by its owner even when `from` is not. The copy is written
// under a temporary name, flushed and renamed into place, so `to` is either the earlier file (or
// none) or the whole copy. Throws Failure naming both files and the reason in Japanese.
void copyFile(const QString &from, const QString &to);

// Removes a file, also when it is marked read-only; a missing file is no error. Throws Failure.
void removeFile(const QString &path);

// A Japanese description of a failed file operation (errno) a user can act on.
QString describeError(int error);

} // namespace hondana::safefile
