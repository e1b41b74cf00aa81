#pragma once
// Choosing the window system before the QApplication exists.

#include <string>

namespace platform {

// Makes Qt run as an X11 client unless the user chose another Qt platform: on a Wayland desktop
// too, through Xwayland, so that the window's geometry rules hold (a Wayland client can neither
// place itself nor learn its frame). Returns an empty text when the program can go on, otherwise
// one line saying why it cannot (no X display reachable), so that the program never ends in Qt's
// own abort.
std::string prepareWindowSystem();

}  // namespace platform
