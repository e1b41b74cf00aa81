#pragma once
// Where time-lapse videos are offered to be saved.

#include <QString>

namespace platform {

// The user's videos folder (XDG_VIDEOS_DIR of xdg-user-dirs, else ~/Videos), created when
// missing; no final "/".
QString userVideosFolder();

}  // namespace platform
