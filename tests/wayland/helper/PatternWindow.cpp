// Shows the test pattern at the top-left corner of the X display (Xwayland here) in a window
// that no window manager moves or frames, and keeps it there until it is killed. Prints "shown"
// once the server has it on the screen.

#include <cstdio>

#include "wayland/Pattern.h"

// X11 last: its macros (None, Status, Bool) break Qt headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

}  // namespace

int main() {
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr) {
        std::fprintf(stderr, "cannot open the X display\n");
        return 1;
    }
    const QImage picture = waylandtest::pattern();
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const unsigned depth = unsigned(DefaultDepth(display, screen));
    const Pixmap pixmap = XCreatePixmap(display, root, unsigned(picture.width()),
                                        unsigned(picture.height()), depth);
    XImage* image = XCreateImage(display, DefaultVisual(display, screen), depth, ZPixmap, 0,
                                 nullptr, unsigned(picture.width()), unsigned(picture.height()),
                                 32, 0);
    // XDestroyImage frees the pixels with free().
    image->data = static_cast<char*>(calloc(size_t(image->bytes_per_line), size_t(image->height)));
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            XPutPixel(image, x, y,
                      (unsigned long)(qRed(c)) << shiftOf(image->red_mask) |
                          (unsigned long)(qGreen(c)) << shiftOf(image->green_mask) |
                          (unsigned long)(qBlue(c)) << shiftOf(image->blue_mask));
        }
    }
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, unsigned(picture.width()),
              unsigned(picture.height()));
    XFreeGC(display, gc);
    XDestroyImage(image);

    // The server draws the pixmap itself whenever the window shows: no events to answer.
    XSetWindowAttributes attributes{};
    attributes.background_pixmap = pixmap;
    attributes.override_redirect = True;
    const Window window = XCreateWindow(
        display, root, 0, 0, unsigned(picture.width()), unsigned(picture.height()), 0,
        CopyFromParent, InputOutput, CopyFromParent, CWBackPixmap | CWOverrideRedirect,
        &attributes);
    XSelectInput(display, window, ExposureMask);
    XMapRaised(display, window);
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
