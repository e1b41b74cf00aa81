#pragma once
// Following the changes of one folder's entries through the kernel's reports (inotify), so that a
// folder need not be read again in full to see what changed.

#include <optional>
#include <sys/types.h>
#include <vector>
#include <QByteArray>
#include <QString>

namespace platform {

class FolderWatch {
public:
    // Starts following `folder` (empty: the current folder). Follows nothing when the kernel will
    // not follow it: its limits are reached, the folder is missing, or it lies on a file system
    // that does not report every change (a network or user-space file system).
    explicit FolderWatch(const QString& folder);
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    bool following() const { return fd_ >= 0; }

    // The names (as the system gives them) of the entries that changed since the last call, each
    // once, never blocking.
    // Empty (and following nothing from then on) when changes may have been lost: the kernel's
    // queue overflowed, the folder itself was moved, deleted or had its attributes changed, or
    // its path no longer leads to the folder being followed.
    std::optional<std::vector<QByteArray>> changes();

private:
    void stop();

    QByteArray folder_;
    int fd_ = -1;
    dev_t device_ = 0;
    ino_t inode_ = 0;
};

}  // namespace platform
