#pragma once
// Which screen backend serves this session.

#include <memory>
#include <QByteArray>

#include "platform/Screen.h"

namespace platform {

// True for a Wayland session: WAYLAND_DISPLAY set, or XDG_SESSION_TYPE "wayland". There DISPLAY
// may still point at Xwayland, whose root window reads back black.
bool isWaylandSession(const QByteArray& waylandDisplay, const QByteArray& sessionType);
// The same for this process's environment.
bool isWaylandSession();

// The screen backend for this session: the desktop portal on a Wayland session; X11 capture and
// activation when the program runs as an X11 client of an X11 session; otherwise one that
// explains that the screen cannot be captured.
std::unique_ptr<Screen> makeScreen();

}  // namespace platform
