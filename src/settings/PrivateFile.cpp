#include "settings/PrivateFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
void tell(QString *error, int code) {
    if (error)
        *error = QString::fromLocal8Bit(std::strerror(code));
}
} // namespace

bool PrivateFile::writeNew(const QString &path, const QByteArray &bytes, QString *error,
                           bool durable) {
    const QByteArray name = QFile::encodeName(path);
    // O_EXCL never follows a link or reuses a file someone else put there.
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW,
                          S_IRUSR | S_IWUSR);
    if (fd < 0) {
        tell(error, errno);
        return false;
    }
    const char *next = bytes.constData();
    qsizetype left = bytes.size();
    int failure = 0;
    while (left > 0 && failure == 0) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written > 0) {
            next += written;
            left -= written;
        } else if (written < 0 && errno != EINTR) {
            failure = errno;
        } else if (written == 0) {
            failure = ENOSPC;
        }
    }
    if (failure == 0 && durable && ::fdatasync(fd) != 0)
        failure = errno;
    // Some file systems only report a full disk when the file is closed.
    if (::close(fd) != 0 && failure == 0)
        failure = errno;
    if (failure == 0)
        return true;
    ::unlink(name.constData());
    tell(error, failure);
    return false;
}

bool PrivateFile::replace(const QString &path, const QByteArray &bytes, QString *error) {
    const QString scratch = scratchPathBeside(path);
    if (!writeNew(scratch, bytes, error, true))
        return false;
    if (::rename(QFile::encodeName(scratch).constData(), QFile::encodeName(path).constData()) !=
        0) {
        tell(error, errno);
        ::unlink(QFile::encodeName(scratch).constData());
        return false;
    }
    return true;
}

QString PrivateFile::scratchPathBeside(const QString &path) {
    static int counter = 0;
    const QFileInfo info(path);
    return info.absolutePath() + QStringLiteral("/.%1.%2.%3")
                                     .arg(info.fileName())
                                     .arg(QCoreApplication::applicationPid())
                                     .arg(++counter);
}
