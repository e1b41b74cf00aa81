#include "platform/Folders.h"

#include <cerrno>
#include <sys/stat.h>

#include "platform/Errors.h"
#include "platform/SystemError.h"

namespace platform {

PathKind pathKind(const QString& path) {
    struct stat info {};
    if (::stat(path.toUtf8().constData(), &info) == 0) {
        return S_ISDIR(info.st_mode) ? PathKind::Folder : PathKind::NotFolder;
    }
    const int error = errno;
    if (error == ENOENT || error == ENOTDIR) {
        return PathKind::Missing;
    }
    throw Error(describeError(error));
}

FolderCreation makeFolder(const QString& path) {
    if (::mkdir(path.toUtf8().constData(), 0777) == 0) {
        return FolderCreation::Created;
    }
    switch (errno) {
        case ENOENT:
        case ENOTDIR:
            return FolderCreation::ParentMissing;
        case ENOSPC:
        case EDQUOT:
            return FolderCreation::NoSpace;
        case EIO:
            return FolderCreation::DiskError;
        case EMLINK:
            return FolderCreation::TooManyLinks;
        default:
            return FolderCreation::Refused;
    }
}

}  // namespace platform
