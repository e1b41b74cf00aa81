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
            return {};  // no X server: let Qt use the session's own platform
        }
        return "KoronCam: no X display (DISPLAY is not set); start it from an X11 desktop session.";
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
