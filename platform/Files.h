#pragma once
// Folder listing and file tests, as the program's logic sees the file system.

#include <cstdint>
#include <vector>
#include <QString>

namespace platform {

struct FileInfo {
    QString name;          // the bare file name
    int64_t size = 0;      // length in bytes
    int64_t modifiedNs = 0;  // last-modified time, nanoseconds since the epoch
};

// The regular, non-hidden files directly in `folder` whose names match `pattern` ('*' and '?'
// wildcards, letter case ignored), sorted by name with letter case ignored. `folder` may end with
// a "/". A file that vanishes while it is being listed is left out; a folder that does not exist
// gives an empty list. Other failures to read the folder throw platform::Error.
std::vector<FileInfo> listFiles(const QString& folder, const QString& pattern);

// True when `path` names a regular file whose name does not begin with ".".
bool isPlainFile(const QString& path);

// The system's shared-library folder.
QString systemDirectory();

}  // namespace platform
