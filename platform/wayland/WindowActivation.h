#pragma once
// How a program on a Wayland desktop brings another program's window to the front.

#include "platform/wayland/WaylandScreen.h"

namespace platform::wayland {

// sway and the compositors that speak its IPC ($SWAYSOCK): through that IPC, for Wayland and
// Xwayland windows alike (sway takes an X11 client's activation request only as a hint and
// marks the window urgent). Elsewhere, with an X display (Xwayland): the X11 request, which
// reaches only the X11 windows there (GNOME, KDE Plasma). None otherwise.
WindowActivation windowActivationForSession();

}  // namespace platform::wayland
