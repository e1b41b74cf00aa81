#include "support/XWindow.h"

#include <gtest/gtest.h>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace testing_support {

XWindowId makeColouredWindow(Display* display, const QString& title, const QRect& where,
                             const QColor& colour, const WindowLook& look) {
    const int screen = DefaultScreen(display);
    XColor pixel{};
    pixel.red = static_cast<unsigned short>(colour.red() * 257);
    pixel.green = static_cast<unsigned short>(colour.green() * 257);
    pixel.blue = static_cast<unsigned short>(colour.blue() * 257);
    EXPECT_TRUE(XAllocColor(display, DefaultColormap(display, screen), &pixel));

    XSetWindowAttributes attributes{};
    attributes.background_pixel = pixel.pixel;
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), where.x(), where.y(),
                      unsigned(where.width()), unsigned(where.height()), 0, CopyFromParent,
                      InputOutput, CopyFromParent, CWBackPixel, &attributes);

    const QByteArray utf8 = title.toUtf8();
    if (look.title == TitleProperty::NetWmName) {
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                        XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(utf8.data()), int(utf8.size()));
        if (look.bothTitles) {
            XStoreName(display, window, utf8.constData());
        }
    } else {
        const QByteArray latin1 = title.toLatin1();
        XChangeProperty(display, window, XA_WM_NAME, XA_STRING, 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(latin1.data()), int(latin1.size()));
    }
    if (look.takesFocus) {
        XWMHints hints{};
        hints.flags = InputHint;
        hints.input = True;
        XSetWMHints(display, window, &hints);
    }
    // The position is the user's: a window manager keeps it instead of placing the window.
    XSizeHints size{};
    size.flags = USPosition | USSize;
    size.x = where.x();
    size.y = where.y();
    size.width = where.width();
    size.height = where.height();
    XSetWMNormalHints(display, window, &size);
    XMapRaised(display, window);
    XSync(display, False);
    return window;
}

}  // namespace testing_support
