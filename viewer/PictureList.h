#pragma once
// The pictures of the picture folder in the order the viewer shows them: by the time in their
// names, then by file name.

#include <cstdint>
#include <optional>
#include <vector>
#include <QString>

#include "timelapse/TimedPicture.h"

namespace viewer {

// True when `a` is shown before `b`.
bool shownBefore(const timelapse::TimedPicture& a, const timelapse::TimedPicture& b);

// The pictures of `path` (the picture folder as the settings hold it: a folder ending with "/",
// or followed by the beginning of every picture name), read from the folder's index after a
// refresh. A picture whose name gives no time takes the time of its last change. Where the index
// keeps no list (a folder it cannot follow) the folder is listed instead. `seen` is the index's
// count of changes at the caller's last reading of the same path (empty for none): while the
// folder is followed and nothing has changed since, nothing is read and nothing is returned.
// Throws platform::Error when the folder cannot be read.
std::optional<std::vector<timelapse::TimedPicture>> readChangedPictures(
    const QString& path, std::optional<uint64_t>& seen);

// Where `picture` stands in `pictures`, or, when it is gone, where it would stand: the first one
// not shown before it (pictures.size() when there is none).
size_t placeOf(const std::vector<timelapse::TimedPicture>& pictures,
               const timelapse::TimedPicture& picture);

}  // namespace viewer
