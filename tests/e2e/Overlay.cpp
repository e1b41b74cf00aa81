#include "Overlay.h"

#include <cstdlib>

// X11 last: its macros (None, Status, Bool) break Qt headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask != 0 && (mask & 1) == 0) {
        mask >>= 1;
        ++shift;
    }
    return shift;
}

unsigned long showOverlay(Display* display, const QPoint& at, const QImage& picture) {
    const int screen = DefaultScreen(display);
    const Window root = RootWindow(display, screen);
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const Pixmap pixmap =
        XCreatePixmap(display, root, unsigned(rgb.width()), unsigned(rgb.height()),
                      unsigned(DefaultDepth(display, screen)));
    // The X image takes the buffer and frees it with XDestroyImage.
    auto* buffer = static_cast<char*>(std::malloc(size_t(rgb.width()) * size_t(rgb.height()) * 4));
    XImage* image = XCreateImage(display, DefaultVisual(display, screen),
                                 unsigned(DefaultDepth(display, screen)), ZPixmap, 0, buffer,
                                 unsigned(rgb.width()), unsigned(rgb.height()), 32, 0);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb c = rgb.pixel(x, y);
            XPutPixel(image, x, y,
                      (unsigned long)(qRed(c)) << shiftOf(image->red_mask) |
                          (unsigned long)(qGreen(c)) << shiftOf(image->green_mask) |
                          (unsigned long)(qBlue(c)) << shiftOf(image->blue_mask));
        }
    }
    const GC gc = XCreateGC(display, pixmap, 0, nullptr);
    XPutImage(display, pixmap, gc, image, 0, 0, 0, 0, unsigned(rgb.width()),
              unsigned(rgb.height()));
    XFreeGC(display, gc);
    XDestroyImage(image);

    XSetWindowAttributes attributes{};
    attributes.background_pixmap = pixmap;
    attributes.override_redirect = True;
    attributes.event_mask = ExposureMask;
    const Window window =
        XCreateWindow(display, root, at.x(), at.y(), unsigned(rgb.width()), unsigned(rgb.height()),
                      0, CopyFromParent, InputOutput, CopyFromParent,
                      CWBackPixmap | CWOverrideRedirect | CWEventMask, &attributes);
    XFreePixmap(display, pixmap);
    XMapRaised(display, window);
    XSync(display, False);
    return window;
}

}  // namespace e2e
