#pragma once
// Replacing a file so that a crash or a full disk leaves the old file or the new one, never half
// of one.

#include <QByteArray>
#include <QString>

namespace platform {

// Writes `bytes` to a temporary file in the folder of `path` (a hidden name that matches no
// picture pattern), flushes it to the disk and renames it over `path`. An existing file keeps its
// permissions; a symbolic link is followed, so the file it points to is replaced. On failure the
// temporary file is removed, `path` is untouched, and platform::Error is thrown with the reason.
void replaceFile(const QString& path, const QByteArray& bytes);

}  // namespace platform
