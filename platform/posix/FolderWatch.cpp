#include "platform/FolderWatch.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <QFile>

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

namespace platform {
namespace {

// Every way an entry's presence, kind, length or time can change. IN_EXCL_UNLINK: a file still
// open after its deletion is no entry of the folder any more.
constexpr uint32_t kMask = IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE |
                           IN_ATTRIB | IN_MODIFY | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                           IN_EXCL_UNLINK;

// Reports after which the folder cannot be followed exactly any more.
constexpr uint32_t kLost = IN_Q_OVERFLOW | IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT;

// Local file systems, whose every change passes through this kernel and is reported. Network and
// user-space file systems report only what this machine does, so a folder there is read in full.
bool reportsEveryChange(long type) {
    switch (static_cast<unsigned long>(type)) {
        case 0xEF53:      // ext2, ext3, ext4
        case 0x58465342:  // xfs
        case 0x9123683E:  // btrfs
        case 0x01021994:  // tmpfs
        case 0x858458f6:  // ramfs
        case 0xF2F52010:  // f2fs
        case 0x4d44:      // vfat, msdos
        case 0x2011BAB0:  // exfat
        case 0x7366746e:  // ntfs3
        case 0x5346544e:  // ntfs
        case 0x3153464a:  // jfs
        case 0x52654973:  // reiserfs
        case 0x3434:      // nilfs2
        case 0x2fc12fc1:  // zfs
        case 0xca451a4e:  // bcachefs
        case 0x482b:      // hfsplus
            return true;
        default:
            return false;
    }
}

bool sameFolder(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

FolderWatch::FolderWatch(const QString& folder)
    : folder_(QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder)) {
    struct stat before {};
    struct statfs system {};
    if (::stat(folder_.constData(), &before) != 0 || !S_ISDIR(before.st_mode) ||
        ::statfs(folder_.constData(), &system) != 0 || !reportsEveryChange(system.f_type)) {
        return;
    }
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        return;  // the limit of instances reached
    }
    // The path is looked at before and after the watch is placed: a folder swapped in between
    // would leave the watch on another folder than the one a listing reads.
    struct stat after {};
    if (::inotify_add_watch(fd_, folder_.constData(), kMask) < 0 ||
        ::stat(folder_.constData(), &after) != 0 || !sameFolder(before, after)) {
        stop();
        return;
    }
    device_ = before.st_dev;
    inode_ = before.st_ino;
}

FolderWatch::~FolderWatch() {
    stop();
}

void FolderWatch::stop() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::optional<std::vector<QByteArray>> FolderWatch::changes() {
    if (fd_ < 0) {
        return std::nullopt;
    }
    std::vector<QByteArray> names;
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;  // all reports read
        }
        if (got <= 0) {
            stop();
            return std::nullopt;
        }
        for (ssize_t at = 0; at < got;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            at += static_cast<ssize_t>(sizeof event + event.len);
            // The folder's own attributes (its permissions decide whether it can be read).
            const bool folderItself = event.len == 0 || name[0] == '\0';
            if ((event.mask & kLost) != 0 || (folderItself && (event.mask & IN_ATTRIB) != 0)) {
                stop();
                return std::nullopt;
            }
            if (!folderItself) {
                names.emplace_back(name);
            }
        }
    }
    // A parent renamed, the path remounted or pointing elsewhere: no report on the folder itself.
    struct stat now {};
    if (::stat(folder_.constData(), &now) != 0 || now.st_dev != device_ || now.st_ino != inode_) {
        stop();
        return std::nullopt;
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

}  // namespace platform
