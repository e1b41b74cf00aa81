#include "XTestSupport.h"

#include "support/XWindow.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <gtest/gtest.h>

// X11 last: its macros (None, Status, Bool) break Qt and GoogleTest headers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace x11test {
namespace {

using namespace std::chrono_literals;

constexpr auto kShowTimeout = 3s;

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

}  // namespace

struct TestWindows::Impl {
    Display* display = nullptr;
    Window root = 0;
    std::vector<Window> windows;

    Atom atom(const char* name) { return XInternAtom(display, name, False); }

    std::vector<Window> windowList(Window window, const char* property) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::vector<Window> result;
        if (XGetWindowProperty(display, window, atom(property), 0, 1 << 16, False, XA_WINDOW, &type,
                               &format, &count, &remaining, &data) == Success &&
            data != nullptr) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            if (type == XA_WINDOW && format == 32) {
                result.assign(items, items + count);
            }
        }
        if (data != nullptr) {
            XFree(data);
        }
        return result;
    }

    bool shown(Window window, bool managed) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, window, &attributes) ||
            attributes.map_state != IsViewable) {
            return false;
        }
        if (!managed) {
            return true;
        }
        // A window manager raises and focuses a new window: wait for both, so that a test
        // starts from a settled screen.
        const std::vector<Window> stacking = windowList(root, "_NET_CLIENT_LIST_STACKING");
        const std::vector<Window> active = windowList(root, "_NET_ACTIVE_WINDOW");
        return !stacking.empty() && stacking.back() == window && active.size() == 1 &&
               active[0] == window;
    }

    // Destroys windows and waits until a window manager has let go of them: a later connection
    // gets the same window ids, which the manager would otherwise take for these.
    void destroy(const std::vector<Window>& gone) {
        for (Window window : gone) {
            XDestroyWindow(display, window);
        }
        XSync(display, False);
        const auto deadline = std::chrono::steady_clock::now() + kShowTimeout;
        const auto managed = [&] {
            const std::vector<Window> clients = windowList(root, "_NET_CLIENT_LIST");
            return std::find_first_of(clients.begin(), clients.end(), gone.begin(), gone.end()) !=
                   clients.end();
        };
        while (managed()) {
            if (std::chrono::steady_clock::now() > deadline) {
                ADD_FAILURE() << "the window manager kept destroyed windows";
                break;
            }
            std::this_thread::sleep_for(2ms);
        }
    }
};

std::unique_ptr<TestWindows> TestWindows::open(const std::string& displayName) {
    const char* name = displayName.empty() ? nullptr : displayName.c_str();
    if (name == nullptr && getenv("DISPLAY") == nullptr) {
        return nullptr;
    }
    // An overloaded Xvfb turns connections away now and then; a test must not skip for that.
    Display* display = XOpenDisplay(name);
    for (int attempt = 0; attempt < 20 && display == nullptr; ++attempt) {
        std::this_thread::sleep_for(50ms);
        display = XOpenDisplay(name);
    }
    // Tests close windows under the backend's feet; Xlib's default handler would end the run on
    // the errors that the test's own requests then get.
    XSetErrorHandler(ignoreErrors);
    if (display == nullptr) {
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->display = display;
    impl->root = DefaultRootWindow(display);
    return std::unique_ptr<TestWindows>(new TestWindows(std::move(impl)));
}

TestWindows::TestWindows(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TestWindows::~TestWindows() {
    impl_->destroy(impl_->windows);
    XCloseDisplay(impl_->display);
}

WindowId TestWindows::make(const QString& title, const QRect& where, const QColor& colour,
                           TitleProperty property) {
    testing_support::WindowLook look;
    look.title = property;
    const WindowId window =
        testing_support::makeColouredWindow(impl_->display, title, where, colour, look);
    impl_->windows.push_back(window);

    const bool managed = windowManagerRunning();
    const auto deadline = std::chrono::steady_clock::now() + kShowTimeout;
    while (!impl_->shown(window, managed)) {
        if (std::chrono::steady_clock::now() > deadline) {
            ADD_FAILURE() << "window \"" << title.toStdString() << "\" was not shown in time";
            break;
        }
        std::this_thread::sleep_for(2ms);
    }
    return window;
}

void TestWindows::destroy(WindowId window) {
    std::erase(impl_->windows, window);
    impl_->destroy({window});
}

QRect TestWindows::insideOf(WindowId window) {
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XGetWindowAttributes(impl_->display, window, &attributes) ||
        !XTranslateCoordinates(impl_->display, window, impl_->root, 0, 0, &x, &y, &child)) {
        ADD_FAILURE() << "window " << window << " is gone";
        return {};
    }
    return {x, y, attributes.width, attributes.height};
}

bool TestWindows::windowManagerRunning() {
    const std::vector<Window> check = impl_->windowList(impl_->root, "_NET_SUPPORTING_WM_CHECK");
    return check.size() == 1 && impl_->windowList(check[0], "_NET_SUPPORTING_WM_CHECK") == check;
}

WindowId TestWindows::activeWindow() {
    const std::vector<Window> active = impl_->windowList(impl_->root, "_NET_ACTIVE_WINDOW");
    return active.size() == 1 ? active[0] : 0;
}

QSize TestWindows::rootSize() {
    const int screen = DefaultScreen(impl_->display);
    return {DisplayWidth(impl_->display, screen), DisplayHeight(impl_->display, screen)};
}

void TestWindows::showOnRoot(const QImage& picture) {
    Display* display = impl_->display;
    const int screen = DefaultScreen(display);
    const auto depth = unsigned(DefaultDepth(display, screen));
    const auto width = unsigned(picture.width());
    const auto height = unsigned(picture.height());
    const Pixmap pixmap = XCreatePixmap(display, impl_->root, width, height, depth);
    // Xlib only reads the pixels here; XDestroyImage must not free Qt's memory.
    XImage* image =
        XCreateImage(display, DefaultVisual(display, screen), depth, ZPixmap, 0,
                     const_cast<char*>(reinterpret_cast<const char*>(picture.constBits())), width,
                     height, 32, int(picture.bytesPerLine()));
    ASSERT_NE(image, nullptr);
    XPutImage(display, pixmap, DefaultGC(display, screen), image, 0, 0, 0, 0, width, height);
    image->data = nullptr;
    XDestroyImage(image);
    XSetWindowBackgroundPixmap(display, impl_->root, pixmap);
    XClearWindow(display, impl_->root);
    XFreePixmap(display, pixmap);
    XSync(display, False);
}

void TestWindows::leaveStaleWindowManagerProperties() {
    Display* display = impl_->display;
    const Window gone = XCreateSimpleWindow(display, impl_->root, 0, 0, 1, 1, 0, 0, 0);
    XDestroyWindow(display, gone);
    XChangeProperty(display, impl_->root, impl_->atom("_NET_SUPPORTING_WM_CHECK"), XA_WINDOW, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(&gone), 1);
    const Atom supported[] = {impl_->atom("_NET_ACTIVE_WINDOW"), impl_->atom("_NET_CLIENT_LIST")};
    XChangeProperty(display, impl_->root, impl_->atom("_NET_SUPPORTED"), XA_ATOM, 32,
                    PropModeReplace, reinterpret_cast<const unsigned char*>(supported), 2);
    XChangeProperty(display, impl_->root, impl_->atom("_NET_CLIENT_LIST"), XA_WINDOW, 32,
                    PropModeReplace, nullptr, 0);
    XSync(display, False);
}

int pixelsNotOf(const QImage& image, const QRect& area, const QColor& colour) {
    const QRect inner = area.adjusted(2, 2, -2, -2).intersected(image.rect());
    if (inner.isEmpty()) {
        return -1;
    }
    int wrong = 0;
    for (int y = inner.top(); y <= inner.bottom(); ++y) {
        for (int x = inner.left(); x <= inner.right(); ++x) {
            if (image.pixelColor(x, y).rgb() != colour.rgb()) {
                ++wrong;
            }
        }
    }
    return wrong;
}

std::string PrivateServer::start(QSize size) {
    int ready[2];
    if (pipe(ready) != 0) {
        return {};
    }
    const std::string screen =
        std::to_string(size.width()) + "x" + std::to_string(size.height()) + "x24";
    const pid_t pid = fork();
    if (pid == 0) {
        // The server goes with this process, even when a test crashes. Xvfb picks a free display
        // number and writes it to descriptor 3.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(ready[1], 3);
        const int quiet = ::open("/dev/null", O_WRONLY);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-screen", "0",
               screen.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    if (pid < 0) {
        close(ready[0]);
        return {};
    }
    pid_ = pid;
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, 5000) > 0 && read(ready[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(ready[0]);
    if (number.empty()) {
        stop();
        return {};
    }
    return ":" + number;
}

void PrivateServer::stop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);  // abruptly, as a crashing server would go
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
}

}  // namespace x11test
