#pragma once
// Testing for a folder and creating one.

#include <QString>

namespace platform {

enum class PathKind {
    Missing,    // nothing of that name (or a part of the path is missing)
    Folder,     // a folder
    NotFolder,  // something else of that name: a file, a device
};

// What `path` names. Throws platform::Error with the reason when that cannot be told (no access
// to a parent, a name too long ...).
PathKind pathKind(const QString& path);

// How creating a folder ended.
enum class FolderCreation {
    Created,
    ParentMissing,  // a folder on the way does not exist, or is not a folder
    NoSpace,        // the disk or the user's quota is full
    DiskError,      // the disk failed to read or write
    TooManyLinks,   // the parent folder holds as many folders as it can
    Refused,        // not allowed, read-only, the name is taken or rejected
};

// Creates the folder `path` (one level: the parent must exist).
FolderCreation makeFolder(const QString& path);

}  // namespace platform
