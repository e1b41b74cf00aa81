#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/SystemError.h"
#include "platform/Files.h"

namespace platform {
namespace {

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

// The errno value of the failure, 0 on success.
int tryReplaceFile(const QString& path, const QByteArray& bytes) {
    // Plain system calls rather than QSaveFile: Qt 6.4 renames its temporary file into place
    // even after a failed write on a full disk, which would leave an empty file behind.
    QByteArray target = path.toLocal8Bit();
    if (char* resolved = ::realpath(target.constData(), nullptr)) {
        target = resolved;  // through a symbolic link to the file itself
        std::free(resolved);
    }
    const int slash = target.lastIndexOf('/');
    QByteArray temp = (slash >= 0 ? target.left(slash + 1) : QByteArray()) + ".koroncam-XXXXXX.tmp";
    const int fd = ::mkstemps(temp.data(), 4);
    if (fd < 0) {
        return errno;
    }
    // mkstemps makes the file private: give it the old file's permissions, or those of a new file.
    struct stat old {};
    mode_t mode = 0;
    if (::stat(target.constData(), &old) == 0) {
        mode = old.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    int error = ::fchmod(fd, mode) == 0 ? 0 : errno;
    if (error == 0) {
        error = writeAll(fd, bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && ::rename(temp.constData(), target.constData()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.constData());
        return error;
    }
    reportOwnChange(path);
    return 0;
}

}  // namespace

void replaceFile(const QString& path, const QByteArray& bytes) {
    if (const int error = tryReplaceFile(path, bytes); error != 0) {
        throw Error(describeError(error));
    }
}

}  // namespace platform
