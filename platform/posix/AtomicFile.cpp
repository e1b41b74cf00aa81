#include "platform/posix/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

QString describe(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// Writes everything, going on after short writes; returns 0 or the errno value.
int writeAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return 0;
}

}  // namespace

QString replaceFile(const QString& path, const QByteArray& bytes) {
    // Plain system calls rather than QSaveFile: Qt 6.4 renames its temporary file into place
    // even after a failed write on a full disk, which would leave an empty file behind.
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = slash >= 0 ? path.left(slash + 1) : QString();
    QByteArray temp = (folder + QStringLiteral(".koroncam-XXXXXX.tmp")).toLocal8Bit();
    const int fd = ::mkstemps(temp.data(), 4);
    if (fd < 0) {
        return describe(errno);
    }
    // mkstemps makes the file private; give it the usual permissions of a new file.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int error = ::fchmod(fd, 0666 & ~mask) == 0 ? 0 : errno;
    if (error == 0) {
        error = writeAll(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.constData(), path.toLocal8Bit().constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.constData());
        return describe(error);
    }
    return {};
}

}  // namespace platform
