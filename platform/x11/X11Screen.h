#pragma once

#include <memory>

#include "platform/Screen.h"

namespace platform {

// The screen backend for this session: X11 capture and activation when the program runs as an
// X11 client, otherwise one that reports the screen unavailable.
std::unique_ptr<Screen> makeScreen();

}  // namespace platform
