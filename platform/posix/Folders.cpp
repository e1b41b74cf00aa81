#include "platform/posix/Folders.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace platform {

PathKind pathKind(const QString& path, QString* reason) {
    struct stat info {};
    if (::stat(path.toUtf8().constData(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::NotFolder;
    }
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
        return PathKind::Missing;
    }
    if (reason != nullptr) {
        *reason = QString::fromLocal8Bit(std::strerror(error));
    }
    return PathKind::Unknown;
}

int makeFolder(const QString& path) {
    return ::mkdir(path.toUtf8().constData(), 0777) == 0 ? 0 : errno;
}

}  // namespace platform
