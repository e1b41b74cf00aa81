#pragma once
// Folder listing and file tests, as the program's logic sees the file system.

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>
#include <QByteArray>
#include <QString>

namespace platform {

struct FileInfo {
    QString name;            // the bare file name, decoded to be shown (lossy when not UTF-8)
    int64_t size = 0;        // length in bytes
    int64_t modifiedNs = 0;  // last-modified time, nanoseconds since the epoch
    QByteArray rawName;      // the bare file name as the system gives it: for every file operation
};

// The regular, non-hidden files directly in `folder` whose names match `pattern` ('*' and '?'
// wildcards, letter case ignored), sorted by name with letter case ignored. `folder` may end with
// a "/". A file that vanishes while it is being listed is left out; a folder that does not exist
// gives an empty list. Other failures to read the folder throw platform::Error.
std::vector<FileInfo> listFiles(const QString& folder, const QString& pattern);

// Reads `folder` once and calls `visit(i, file)` for every file that matches patterns[i], by the
// rules of listFiles, in the order the folder yields them (not sorted). A file matching several
// patterns is measured once and visited once for each of them, in pattern order.
void forEachFile(const QString& folder, const std::vector<QString>& patterns,
                 const std::function<void(size_t pattern, const FileInfo& file)>& visit);

// The file named by the bytes `rawName` in `folder` measured by the rules of a listing: empty when
// it is hidden, gone, or not a regular file. Throws platform::Error when it cannot be measured for
// another reason.
std::optional<FileInfo> measureFile(const QString& folder, const QByteArray& rawName);

// The order of a listing: true when the name `a` comes before `b`. Letter case is ignored; names
// that differ only in case follow their code points.
bool listedBefore(const QString& a, const QString& b);

// True when `path` names a regular file whose name does not begin with ".".
// (A symbolic link to a regular file counts here, unlike in a listing: a library is often
// installed as a link to its versioned name.)
bool isPlainFile(const QString& path);

// The system's shared-library folder.
QString systemDirectory();

// True when `name` matches `pattern`: '*' stands for any run of characters, '?' for exactly one,
// letter case is ignored.
bool wildcardMatch(const QString& name, const QString& pattern);

// Deletes the file `path`. Throws platform::Error with the reason when it cannot.
void removeFile(const QString& path);
// Deletes the file named by the bytes `rawName` in `folder` (ending with "/" unless empty), also
// when the name is not UTF-8. Throws platform::Error with the reason, in a file's words, when it
// cannot.
void removeFile(const QString& folder, const QByteArray& rawName);

// The program's own changes to files: replaceFile, removeFile and the encoder library report each
// file they have written or deleted (its path as the caller gave it), so that whoever follows a
// folder sees the change at once. The listener gets the path's bytes. One listener; it must not
// throw.
void setOwnChangeListener(std::function<void(const QByteArray& encodedPath)> listener);
void reportOwnChange(const QString& path);

// Faults that tests inject into the calls above; production code leaves them empty. Root ignores
// file modes, so a test cannot make a deletion fail or a file vanish on cue without them.
struct FileHooks {
    // Runs after a matching name has been read from the folder and before the file is measured.
    std::function<void(const QString& folder, const QString& name)> beforeMeasure;
    // Runs before a deletion; a non-zero errno value makes the deletion fail with that error.
    std::function<int(const QString& path)> removeError;
};
FileHooks& fileHooks();

}  // namespace platform
