#include "platform/x11/Display.h"

#include <cstdlib>

#include <X11/Xlib.h>

namespace platform {

std::string prepareWindowSystem() {
    const char* chosen = std::getenv("QT_QPA_PLATFORM");
    if (chosen != nullptr && *chosen != '\0') {
        return {};  // the user's choice stands
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        const char* wayland = std::getenv("WAYLAND_DISPLAY");
        if (wayland != nullptr && *wayland != '\0') {
            // The window runs through Xwayland on a Wayland desktop; the screen is captured
            // through the desktop portal all the same.
            return "KoronCam: no X display (DISPLAY is not set); on a Wayland desktop its window "
                   "needs Xwayland, the desktop's X11 support: turn it on and start again.";
        }
        return "KoronCam: no X display (DISPLAY is not set); start it from an X11 or Wayland "
               "desktop session.";
    }
    Display* connection = XOpenDisplay(display);
    if (connection == nullptr) {
        return std::string("KoronCam: cannot open the X display \"") + display +
               "\"; start it from an X11 desktop session.";
    }
    XCloseDisplay(connection);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    return {};
}

}  // namespace platform
