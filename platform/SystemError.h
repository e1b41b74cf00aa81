#pragma once
// System errors in words a user of this program reads.

#include <QString>

namespace platform {

// A short Japanese reason for the errno value `error`, followed by the system's own text in
// brackets, e.g. "ディスクの空きが足りません。(No space left on device)".
QString describeError(int error);

}  // namespace platform
