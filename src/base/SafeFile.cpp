#include "base/SafeFile.h"

#include "base/Failure.h"
#include "base/FaultPoint.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace hondana::safefile {

namespace {

constexpr qsizetype BufferSize = 1 << 16;

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

QString fileName(const QString &path) {
    return QFileInfo(path).fileName();
}

bool writeAll(int fd, const char *data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// 0, or the errno of the write that failed.
int flushBuffer(int fd, QByteArray &buffer) {
    const int error =
        buffer.isEmpty() || writeAll(fd, buffer.constData(), buffer.size()) ? 0 : errno;
    buffer.resize(0);
    return error;
}

// Collects small writes into `buffer` and hands them to `fd` a buffer at a time. 0, or the
// errno of the write that failed.
int bufferedWrite(int fd, QByteArray &buffer, const char *data, qsizetype size) {
    if (buffer.size() + size > BufferSize) {
        if (const int error = flushBuffer(fd, buffer))
            return error;
    }
    if (size >= BufferSize)
        return writeAll(fd, data, size) ? 0 : errno;
    buffer.append(data, size);
    return 0;
}

} // namespace

QString describeError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("権限がありません");
    case EROFS:
        return QStringLiteral("読み取り専用の場所です");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("ディスクがいっぱいです");
    case EFBIG:
        return QStringLiteral("ファイルの大きさの上限を超えました（ディスクの容量制限）");
    case EISDIR:
        return QStringLiteral("同じ名前のフォルダーがあります");
    case ENOENT:
        return QStringLiteral("ファイルかフォルダーがありません");
    case EIO:
        return QStringLiteral("ディスクの読み書きに失敗しました");
    case EPIPE:
        return QStringLiteral("読み手がいなくなりました");
    default:
        return QStringLiteral("ファイル操作に失敗しました（%1）")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

ReplacingFileWriter::ReplacingFileWriter(const QString &path)
    : m_path(path), m_temporary(temporaryPath(path)) {
    struct stat status {};
    if (::lstat(native(path).constData(), &status) == 0 && !S_ISREG(status.st_mode) &&
        !S_ISLNK(status.st_mode)) {
        if (S_ISDIR(status.st_mode))
            fail(QStringLiteral("置き換えられません"), EISDIR);
        throw Failure(QStringLiteral("「%1」は普通のファイルではないので置き換えられません。")
                          .arg(fileName(path)));
    }
    m_fd = ::open(native(m_temporary).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0)
        fail(QStringLiteral("作れません"), errno);
    m_buffer.reserve(BufferSize);
}

ReplacingFileWriter::~ReplacingFileWriter() {
    if (m_fd >= 0) {
        ::close(m_fd);
        ::unlink(native(m_temporary).constData());
    }
}

QString ReplacingFileWriter::temporaryPath(const QString &path) {
    return path + QStringLiteral(".tmp");
}

void ReplacingFileWriter::write(const char *data, qsizetype size) {
    if (const int error = bufferedWrite(m_fd, m_buffer, data, size))
        fail(QStringLiteral("書けません"), error);
}

void ReplacingFileWriter::sync() {
    if (const int error = flushBuffer(m_fd, m_buffer))
        fail(QStringLiteral("書けません"), error);
    if (::fdatasync(m_fd) != 0)
        fail(QStringLiteral("ディスクに書き切れません"), errno);
}

void ReplacingFileWriter::commit() {
    const QByteArray step = "replace." + fileName(m_path).toUtf8();
    if (const int error = flushBuffer(m_fd, m_buffer))
        fail(QStringLiteral("書けません"), error);
    if (::fsync(m_fd) != 0)
        fail(QStringLiteral("ディスクに書き切れません"), errno);
    faultpoint((step + ".flushed").constData());
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(native(m_temporary).constData());
        throw Failure(
            QStringLiteral("「%1」を書けません: %2").arg(fileName(m_path), describeError(error)));
    }
    if (::rename(native(m_temporary).constData(), native(m_path).constData()) != 0) {
        const int error = errno;
        ::unlink(native(m_temporary).constData());
        throw Failure(QStringLiteral("「%1」を置き換えられません: %2")
                          .arg(fileName(m_path), describeError(error)));
    }
    faultpoint((step + ".renamed").constData());
}

void ReplacingFileWriter::fail(const QString &what, int error) {
    throw Failure(
        QStringLiteral("「%1」を%2: %3").arg(fileName(m_path), what, describeError(error)));
}

OutputTarget outputTarget(const QString &path) {
    if (path.isEmpty())
        throw Failure(QStringLiteral("出力先のファイル名が空です。"));
    const QFileInfo info(path);
    OutputTarget target{path};
    if (info.isSymLink())
        target.path = info.exists() ? info.canonicalFilePath() : info.symLinkTarget();
    struct stat status {};
    if (::stat(native(target.path).constData(), &status) != 0 || S_ISREG(status.st_mode))
        return target;
    if (S_ISDIR(status.st_mode))
        throw Failure(
            QStringLiteral("「%1」はフォルダーです。ファイルの名前を指定してください。").arg(path));
    if (!S_ISCHR(status.st_mode) && !S_ISBLK(status.st_mode) && !S_ISFIFO(status.st_mode))
        throw Failure(QStringLiteral("「%1」には書き出せません（ファイルでも装置でもありません）。")
                          .arg(path));
    target.stream = true;
    return target;
}

OutputFile::OutputFile(const QString &path) : m_path(path) {
    const OutputTarget target = outputTarget(path);
    if (!target.stream) {
        m_whole = std::make_unique<ReplacingFileWriter>(target.path);
        return;
    }
    do
        m_fd = ::open(native(target.path).constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0)
        fail(errno);
}

OutputFile::~OutputFile() {
    if (m_fd >= 0)
        ::close(m_fd);
}

void OutputFile::write(const char *data, qsizetype size) {
    if (m_whole)
        m_whole->write(data, size);
    else if (const int error = bufferedWrite(m_fd, m_buffer, data, size))
        fail(error);
}

void OutputFile::commit() {
    if (m_whole) {
        m_whole->commit();
        return;
    }
    int error = flushBuffer(m_fd, m_buffer);
    if (::close(std::exchange(m_fd, -1)) != 0 && error == 0)
        error = errno;
    if (error != 0)
        fail(error);
}

void OutputFile::fail(int error) {
    throw Failure(QStringLiteral("「%1」に書けません: %2").arg(m_path, describeError(error)));
}

void syncFile(const QString &path) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::fsync(fd) != 0) {
        const int error = errno;
        if (fd >= 0)
            ::close(fd);
        throw Failure(QStringLiteral("「%1」をディスクに書き切れません: %2")
                          .arg(fileName(path), describeError(error)));
    }
    ::close(fd);
}

void syncFolder(const QString &folder) {
    // Some file systems cannot sync a folder; the rename has happened either way.
    const int fd = ::open(native(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

void renameReplacing(const QString &from, const QString &to) {
    if (::rename(native(from).constData(), native(to).constData()) != 0) {
        const int error = errno;
        throw Failure(QStringLiteral("「%1」を「%2」に置き換えられません: %3")
                          .arg(fileName(to), fileName(from), describeError(error)));
    }
}

void copyFile(const QString &from, const QString &to) {
    const QByteArray step = "copy." + fileName(to).toUtf8();
    try {
        const int in = ::open(native(from).constData(), O_RDONLY | O_CLOEXEC);
        if (in < 0)
            throw Failure(describeError(errno));
        const auto closeSource = qScopeGuard([in] { ::close(in); });
        ReplacingFileWriter target(to);
        QByteArray buffer(BufferSize, Qt::Uninitialized);
        for (;;) {
            const ssize_t got = ::read(in, buffer.data(), size_t(buffer.size()));
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                throw Failure(describeError(errno));
            if (got == 0)
                break;
            target.write(buffer.constData(), got);
        }
        faultpoint(step.constData());
        target.commit();
        syncFolder(QFileInfo(to).absolutePath());
    } catch (const Failure &failure) {
        throw Failure(QStringLiteral("「%1」を「%2」にコピーできません: %3")
                          .arg(fileName(from), fileName(to), failure.message()));
    }
    faultpoint((step + ".done").constData());
}

void removeFile(const QString &path) {
    if (::unlink(native(path).constData()) != 0 && errno != ENOENT) {
        const int error = errno;
        throw Failure(
            QStringLiteral("「%1」を削除できません: %2").arg(fileName(path), describeError(error)));
    }
}

} // namespace hondana::safefile
