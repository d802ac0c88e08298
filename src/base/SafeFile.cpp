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
#include <unistd.h>

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
    default:
        return QStringLiteral("ファイル操作に失敗しました（%1）")
            .arg(QString::fromLocal8Bit(std::strerror(error)));
    }
}

ReplacingFileWriter::ReplacingFileWriter(const QString &path)
    : m_path(path), m_temporary(temporaryPath(path)) {
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
    if (m_buffer.size() + size > BufferSize)
        flushBuffer();
    if (size >= BufferSize) {
        if (!writeAll(m_fd, data, size))
            fail(QStringLiteral("書けません"), errno);
        return;
    }
    m_buffer.append(data, size);
}

void ReplacingFileWriter::flushBuffer() {
    if (!m_buffer.isEmpty() && !writeAll(m_fd, m_buffer.constData(), m_buffer.size()))
        fail(QStringLiteral("書けません"), errno);
    m_buffer.clear();
}

void ReplacingFileWriter::commit() {
    const QByteArray step = "replace." + fileName(m_path).toUtf8();
    flushBuffer();
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
