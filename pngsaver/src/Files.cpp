#include "Files.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pngsaver {
namespace {

// Closes a descriptor that was only read: nothing can be lost, so close's result does not matter.
struct ReadDescriptor {
    int fd;
    ~ReadDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

bool writeAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        data += written;
        size -= static_cast<size_t>(written);
    }
    return true;
}

// Creates a new file in folder (empty or ending in "/") and returns its descriptor, or -1. Unlike
// mkstemp's 0600, mode 0666 lets the umask give the picture the permissions of any new file. The
// process id keeps concurrent processes apart; the counter, threads and stale leftovers.
int createTemporary(const std::string& folder, std::string* tempPath) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        *tempPath = folder + ".pngsaver-" + std::to_string(::getpid()) + "-" +
                    std::to_string(counter++) + ".tmp";
        const int fd = ::open(tempPath->c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

}  // namespace

bool readWholeFile(const char* path, ByteBuffer* data) {
    const ReadDescriptor file{::open(path, O_RDONLY | O_CLOEXEC)};
    struct stat info {};
    // Only regular files: a device or a pipe could block or never end.
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    data->resize(static_cast<size_t>(info.st_size));
    size_t done = 0;
    while (done < data->size()) {
        const ssize_t got = ::read(file.fd, data->data() + done, data->size() - done);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            return false;
        }
        if (got == 0) {  // the file shrank since fstat
            break;
        }
        done += static_cast<size_t>(got);
    }
    data->resize(done);
    return true;
}

bool replaceFile(const char* path, const uint8_t* data, size_t size) {
    const std::string target = path;
    const std::string folder = target.substr(0, target.rfind('/') + 1);  // "" when no '/'
    std::string tempPath;
    const int fd = createTemporary(folder, &tempPath);
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, data, size);
    // close can report a failed write-back (NFS, a full disk), so it counts as part of writing.
    const bool closed = ::close(fd) == 0;
    if (written && closed && ::rename(tempPath.c_str(), path) == 0) {
        return true;
    }
    ::unlink(tempPath.c_str());
    return false;
}

bool isSameFile(const char* a, const char* b) {
    struct stat infoA {};
    struct stat infoB {};
    return ::stat(a, &infoA) == 0 && ::stat(b, &infoB) == 0 && infoA.st_dev == infoB.st_dev &&
           infoA.st_ino == infoB.st_ino;
}

}  // namespace pngsaver
