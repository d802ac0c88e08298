#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// File steps that must either happen completely or leave the earlier file as it was.
namespace hondana::safefile {

// Writes a file under a temporary name beside the real one and renames it into place on
// commit(), after flushing it to disk. Until then the earlier file stays as it was; a writer
// destroyed without commit() removes its temporary file. Only a regular file (or none) is
// replaced: a folder, device or FIFO of that name is refused before anything is written.
// Throws Failure naming the file.
class ReplacingFileWriter {
public:
    explicit ReplacingFileWriter(const QString &path);
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter &) = delete;
    ReplacingFileWriter &operator=(const ReplacingFileWriter &) = delete;

    void write(const char *data, qsizetype size);
    // Hands what is written so far to the disk while the file stays under its temporary name,
    // so that a writer with time to spare leaves commit less to wait for.
    void sync();
    void commit();
    static QString temporaryPath(const QString &path);

private:
    [[noreturn]] void fail(const QString &what, int error);

    QString m_path;
    QString m_temporary;
    int m_fd = -1;
    QByteArray m_buffer;
};

// Where output to a file the user named goes. A new or regular file is replaced whole (the file
// a link names, not the link); a device, FIFO or terminal is written straight into, as a shell's
// redirection would, since renaming over it would put a plain file in its place. Throws Failure
// for an empty name, a folder and anything else that takes no output.
struct OutputTarget {
    QString path;
    bool stream = false;
};
OutputTarget outputTarget(const QString &path);

// Writes a file the user named (see OutputTarget): a regular file through ReplacingFileWriter,
// a stream straight, with every write error (a full disk, a reader gone) reported by write()
// or commit(). Throws Failure naming the file.
class OutputFile {
public:
    explicit OutputFile(const QString &path);
    ~OutputFile();
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    void write(const char *data, qsizetype size);
    void commit();

private:
    [[noreturn]] void fail(int error);

    QString m_path;
    std::unique_ptr<ReplacingFileWriter> m_whole;
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
