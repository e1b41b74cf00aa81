// Shows the test pattern at the top-left corner of the X display (Xwayland here) in a window
// that no window manager moves or frames, and keeps it there until it is killed. Prints "shown"
// once the server has drawn it.

#include <cstdio>

#include "e2e/Overlay.h"
#include "wayland/Pattern.h"

// X11 last: its macros (None, Status, Bool) break Qt headers.
#include <X11/Xlib.h>

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    e2e::showOverlay(display, QPoint(0, 0), waylandtest::pattern());
    XEvent event;
    do {
        XNextEvent(display, &event);
    } while (event.type != Expose);
    XSync(display, False);
    std::printf("shown\n");
    std::fflush(stdout);
    for (;;) {
        XNextEvent(display, &event);
    }
}
