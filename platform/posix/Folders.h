#pragma once
// Testing for a folder and creating one, with the system's own error numbers.

#include <QString>

namespace platform {

enum class PathKind {
    Missing,    // nothing of that name (or a part of the path is missing)
    Folder,     // a folder
    NotFolder,  // something else of that name: a file, a device
    Unknown,    // the test itself failed (no access to a parent, a name too long ...)
};

// What `path` names. For Unknown, `reason` (when given) gets the system's description.
PathKind pathKind(const QString& path, QString* reason = nullptr);

// Creates the folder `path` (one level: the parent must exist). Returns 0 on success, else the
// errno value of the failure.
int makeFolder(const QString& path);

}  // namespace platform
