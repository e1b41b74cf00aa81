#include "platform/x11/X11Backend.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Pixels.h"

// X11 last: its macros (None, Status, Bool) break Qt headers.
#include <sys/ipc.h>
#include <sys/shm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

namespace platform {
namespace x11 {
namespace {

using namespace std::chrono_literals;

// How long activateWindow() waits for the window manager to raise and focus the window, so that
// the capture right after shows it.
constexpr auto kActivationWait = 100ms;
constexpr auto kActivationPoll = 1ms;
constexpr int kOpenAttempts = 3;
constexpr auto kOpenRetryDelay = 20ms;
// Enough for any window list or title (in 32-bit units, as XGetWindowProperty counts).
constexpr long kPropertyLimit = 1 << 16;

enum AtomIndex {
    kNetSupported,
    kNetSupportingWmCheck,
    kNetClientList,
    kNetClientListStacking,
    kNetActiveWindow,
    kNetWmName,
    kUtf8String,
    kAtomCount
};

// A window property as Xlib returns it; freed with it.
struct Property {
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned char* data = nullptr;

    Property() = default;
    Property(const Property&) = delete;
    Property& operator=(const Property&) = delete;
    ~Property() {
        if (data != nullptr) {
            XFree(data);
        }
    }
};

PixelLayout layoutOf(const XImage& image) {
    PixelLayout layout;
    layout.width = image.width;
    layout.height = image.height;
    layout.bytesPerLine = image.bytes_per_line;
    layout.bitsPerPixel = image.bits_per_pixel;
    layout.mostSignificantByteFirst = image.byte_order == MSBFirst;
    layout.redMask = static_cast<std::uint32_t>(image.red_mask);
    layout.greenMask = static_cast<std::uint32_t>(image.green_mask);
    layout.blueMask = static_cast<std::uint32_t>(image.blue_mask);
    return layout;
}

}  // namespace

struct X11Screen::Connection {
    Display* display = nullptr;
    Window root = 0;
    std::array<Atom, kAtomCount> atoms{};
    CaptureMethod last = CaptureMethod::SharedMemory;
    bool lost = false;  // the server has gone away
    int error = 0;      // the first X error of the running call
    bool sharedMemoryUsable = true;
    XImage* shared = nullptr;  // the shared-memory image, made once per captured size
    XShmSegmentInfo segment{};
    bool attachedOnServer = false;
    QImage picture;
    StageHook hook;
    XWindowAttributes rootAttributes{};
    bool rootKnown = false;  // rootAttributes hold; ConfigureNotify on the root makes them stale

    ~Connection();
    // The corner of the screen that rootAttributes describe, or a null image.
    QImage capture();
    QImage captureShared(const QSize& area);
    QImage captureGetImage(const QSize& area);
    bool createSegment(const QSize& area);
    void releaseSegment();

    bool readProperty(Window window, Atom property, Atom type, int format, Property& out);
    std::vector<Window> windowList(Window window, Atom property);
    QString title(Window window);
    bool windowManagerRunning();
    bool supported(Atom atom);
    Window findWindow(const QString& wanted, bool managed);
    bool isOnTop(Window window);
    bool waitUntilOnTop(Window window);
    bool exists(Window window);
};

namespace {

// Routes the X errors of one connection into it for the length of one call, so that an error
// fails that call instead of ending the process (Xlib's default handler exits on BadWindow).
// Installed per call rather than once, so that handlers set later by others (Qt) neither take
// ours away nor lose theirs: errors of other connections go on to whatever was there before.
X11Screen::Connection* trapped = nullptr;
XErrorHandler outerErrorHandler = nullptr;
XIOErrorHandler outerIOErrorHandler = nullptr;

int onError(Display* display, XErrorEvent* event) {
    if (trapped != nullptr && display == trapped->display) {
        if (trapped->error == 0) {
            trapped->error = event->error_code;
        }
        return 0;
    }
    return outerErrorHandler != nullptr ? outerErrorHandler(display, event) : 0;
}

int onIOError(Display* display) {
    if (trapped != nullptr && display == trapped->display) {
        return 0;  // onConnectionLost follows, instead of Xlib's exit
    }
    return outerIOErrorHandler != nullptr ? outerIOErrorHandler(display) : 0;
}

// Xlib calls this instead of exit() when our connection breaks. Returning is allowed: from then
// on every Xlib call on the connection fails at once, and so does every call of ours.
void onConnectionLost(Display*, void* connection) {
    static_cast<X11Screen::Connection*>(connection)->lost = true;
}

class ErrorTrap {
public:
    explicit ErrorTrap(X11Screen::Connection& connection) : connection_(connection) {
        connection_.error = 0;
        trapped = &connection_;
        outerErrorHandler = XSetErrorHandler(onError);
        outerIOErrorHandler = XSetIOErrorHandler(onIOError);
    }
    ~ErrorTrap() {
        XSetErrorHandler(outerErrorHandler);
        XSetIOErrorHandler(outerIOErrorHandler);
        trapped = nullptr;
    }
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    bool ok() const { return !connection_.lost && connection_.error == 0; }
    // Waits until the server has handled every request so far; true when none of them failed.
    bool sync() {
        if (!connection_.lost) {
            XSync(connection_.display, False);
        }
        return ok();
    }
    // Forgets an error that was expected (a window that went away while we looked at it).
    void forget() { connection_.error = 0; }

private:
    X11Screen::Connection& connection_;
};

}  // namespace

X11Screen::Connection::~Connection() {
    ErrorTrap trap(*this);
    releaseSegment();
    XCloseDisplay(display);  // safe after a lost connection too: Xlib then only frees
}

QImage X11Screen::Connection::capture() {
    const XWindowAttributes& screen = rootAttributes;
    if (screen.visual->c_class != TrueColor || (screen.depth != 24 && screen.depth != 32)) {
        return {};
    }
    // Only the corner that a picture keeps is read and converted; a smaller screen is read whole.
    const QSize area(std::min(screen.width, kPictureWidth),
                     std::min(screen.height, kPictureHeight));
    if (sharedMemoryUsable) {
        last = CaptureMethod::SharedMemory;
        QImage picture = captureShared(area);
        if (!picture.isNull() || lost) {
            return picture;
        }
        error = 0;  // the plain request may still work
    }
    last = CaptureMethod::GetImage;
    return captureGetImage(area);
}

QImage X11Screen::Connection::captureShared(const QSize& area) {
    if (shared != nullptr && (shared->width != area.width() || shared->height != area.height())) {
        releaseSegment();
    }
    if (shared == nullptr && !createSegment(area)) {
        sharedMemoryUsable = false;
        return {};
    }
    if (!XShmGetImage(display, root, shared, 0, 0, AllPlanes) || error != 0) {
        return {};
    }
    return toImage(layoutOf(*shared), reinterpret_cast<const unsigned char*>(shared->data));
}

QImage X11Screen::Connection::captureGetImage(const QSize& area) {
    XImage* image = XGetImage(display, root, 0, 0, unsigned(area.width()), unsigned(area.height()),
                              AllPlanes, ZPixmap);
    if (image == nullptr) {
        return {};
    }
    QImage result;
    if (error == 0) {
        result = toImage(layoutOf(*image), reinterpret_cast<const unsigned char*>(image->data));
    }
    XDestroyImage(image);
    return result;
}

bool X11Screen::Connection::createSegment(const QSize& area) {
    if (!XShmQueryExtension(display)) {
        return false;
    }
    shared = XShmCreateImage(display, rootAttributes.visual, rootAttributes.depth, ZPixmap, nullptr,
                             &segment, unsigned(area.width()), unsigned(area.height()));
    if (shared == nullptr) {
        return false;
    }
    const std::size_t size = std::size_t(shared->bytes_per_line) * std::size_t(shared->height);
    segment.shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    void* memory =
        segment.shmid < 0 ? reinterpret_cast<void*>(-1) : shmat(segment.shmid, nullptr, 0);
    if (segment.shmid >= 0) {
        // Removed now, freed by the system once both sides have detached (also after a crash).
        shmctl(segment.shmid, IPC_RMID, nullptr);
    }
    if (memory == reinterpret_cast<void*>(-1)) {
        XDestroyImage(shared);  // an XShm image: frees the structure only
        shared = nullptr;
        return false;
    }
    segment.shmaddr = shared->data = static_cast<char*>(memory);
    segment.readOnly = False;
    // A refusal (a remote server, no access) arrives later as an X error: wait for the answer.
    attachedOnServer = XShmAttach(display, &segment);
    XSync(display, False);
    attachedOnServer = attachedOnServer && error == 0;
    // A server in another IPC namespace may attach a different segment of the same id and never
    // write into ours: fill ours and see whether one capture changes it. (An all-white screen
    // whose padding bytes stay untouched fails this too; XGetImage then serves, only slower.)
    bool sharedWithServer = false;
    if (attachedOnServer) {
        std::memset(shared->data, 0xff, size);
        const auto* bytes = reinterpret_cast<const unsigned char*>(shared->data);
        sharedWithServer =
            XShmGetImage(display, root, shared, 0, 0, AllPlanes) && error == 0 &&
            std::any_of(bytes, bytes + size, [](unsigned char b) { return b != 0xff; });
    }
    if (!sharedWithServer) {
        releaseSegment();
        if (!lost) {
            error = 0;  // XGetImage may still work
        }
        return false;
    }
    return true;
}

void X11Screen::Connection::releaseSegment() {
    if (shared == nullptr) {
        return;
    }
    if (attachedOnServer && !lost) {
        XShmDetach(display, &segment);
        XSync(display, False);
    }
    attachedOnServer = false;
    shmdt(segment.shmaddr);
    shared->data = nullptr;
    XDestroyImage(shared);
    shared = nullptr;
    segment = {};
}

bool X11Screen::Connection::readProperty(Window window, Atom property, Atom type, int format,
                                         Property& out) {
    unsigned long remaining = 0;
    return XGetWindowProperty(display, window, property, 0, kPropertyLimit, False, type, &out.type,
                              &out.format, &out.count, &remaining, &out.data) == Success &&
           out.type == type && out.format == format && out.data != nullptr;
}

std::vector<Window> X11Screen::Connection::windowList(Window window, Atom property) {
    Property value;
    if (!readProperty(window, property, XA_WINDOW, 32, value)) {
        return {};
    }
    // Xlib hands out 32-bit items as longs.
    const auto* items = reinterpret_cast<const unsigned long*>(value.data);
    return {items, items + value.count};
}

QString X11Screen::Connection::title(Window window) {
    Property name;
    if (readProperty(window, atoms[kNetWmName], atoms[kUtf8String], 8, name) && name.count > 0) {
        return QString::fromUtf8(reinterpret_cast<const char*>(name.data), qsizetype(name.count));
    }
    XTextProperty text{};
    if (!XGetWMName(display, window, &text) || text.value == nullptr) {
        return {};
    }
    QString result;
    const auto* bytes = reinterpret_cast<const char*>(text.value);
    if (text.encoding == XA_STRING) {
        result = QString::fromLatin1(bytes, qsizetype(text.nitems));
    } else if (text.encoding == atoms[kUtf8String]) {
        result = QString::fromUtf8(bytes, qsizetype(text.nitems));
    } else {  // COMPOUND_TEXT
        char** list = nullptr;
        int count = 0;
        if (Xutf8TextPropertyToTextList(display, &text, &list, &count) >= Success && count > 0) {
            result = QString::fromUtf8(list[0]);
        }
        if (list != nullptr) {
            XFreeStringList(list);
        }
    }
    XFree(text.value);
    return result;
}

bool X11Screen::Connection::windowManagerRunning() {
    const std::vector<Window> check = windowList(root, atoms[kNetSupportingWmCheck]);
    if (check.size() != 1) {
        return false;
    }
    // A window manager that has ended leaves its root properties behind, but not this window.
    const std::vector<Window> self = windowList(check[0], atoms[kNetSupportingWmCheck]);
    return self.size() == 1 && self[0] == check[0];
}

bool X11Screen::Connection::supported(Atom atom) {
    Property value;
    if (!readProperty(root, atoms[kNetSupported], XA_ATOM, 32, value)) {
        return false;
    }
    const auto* items = reinterpret_cast<const unsigned long*>(value.data);
    return std::find(items, items + value.count, atom) != items + value.count;
}

Window X11Screen::Connection::findWindow(const QString& wanted, bool managed) {
    std::vector<Window> windows;
    if (managed) {
        windows = windowList(root, atoms[kNetClientList]);
    }
    if (windows.empty()) {
        // No window manager: the application windows are the root's children, in stacking order.
        Window rootReturn = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        if (XQueryTree(display, root, &rootReturn, &parent, &children, &count) && children) {
            windows.assign(children, children + count);
            XFree(children);
        }
        managed = false;
    }
    // Without a manager, skip what cannot be shown: unmapped windows, menus and tooltips.
    const auto eligible = [&](Window window) {
        XWindowAttributes attributes;
        return managed || (XGetWindowAttributes(display, window, &attributes) &&
                           attributes.map_state == IsViewable && !attributes.override_redirect);
    };
    Window prefixMatch = 0;
    for (Window window : windows) {
        const QString name = title(window);
        if (name == wanted && eligible(window)) {
            return window;
        }
        if (prefixMatch == 0 && name.startsWith(wanted) && eligible(window)) {
            prefixMatch = window;
        }
    }
    return prefixMatch;
}

bool X11Screen::Connection::exists(Window window) {
    XWindowAttributes attributes;
    return XGetWindowAttributes(display, window, &attributes) && error == 0 && !lost;
}

bool X11Screen::Connection::isOnTop(Window window) {
    const std::vector<Window> active = windowList(root, atoms[kNetActiveWindow]);
    if (active.size() != 1 || active[0] != window) {
        return false;
    }
    // Focused is not yet raised when the window manager does the two apart.
    const std::vector<Window> stacking = windowList(root, atoms[kNetClientListStacking]);
    return stacking.empty() || stacking.back() == window;
}

bool X11Screen::Connection::waitUntilOnTop(Window window) {
    const auto deadline = std::chrono::steady_clock::now() + kActivationWait;
    for (;;) {
        if (isOnTop(window)) {
            return true;
        }
        if (!exists(window)) {
            return false;  // closed meanwhile
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            return true;  // the request stands; the window manager may carry it out later
        }
        std::this_thread::sleep_for(kActivationPoll);
    }
}

std::unique_ptr<X11Screen> X11Screen::open(const std::string& displayName,
                                           CaptureMethod preferred) {
    // A busy server may turn a connection away now and then: try a few times.
    Display* display = nullptr;
    for (int attempt = 0; attempt < kOpenAttempts && display == nullptr; ++attempt) {
        if (attempt > 0) {
            std::this_thread::sleep_for(kOpenRetryDelay);
        }
        display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    }
    if (display == nullptr) {
        return nullptr;
    }
    auto connection = std::make_unique<Connection>();
    connection->display = display;
    connection->root = DefaultRootWindow(display);
    connection->last = preferred;
    connection->sharedMemoryUsable = preferred == CaptureMethod::SharedMemory;
    XSetIOErrorExitHandler(display, onConnectionLost, connection.get());
    // Tells when the screen changes size.
    XSelectInput(display, connection->root, StructureNotifyMask);

    std::array<char*, kAtomCount> names = {
        const_cast<char*>("_NET_SUPPORTED"),     const_cast<char*>("_NET_SUPPORTING_WM_CHECK"),
        const_cast<char*>("_NET_CLIENT_LIST"),   const_cast<char*>("_NET_CLIENT_LIST_STACKING"),
        const_cast<char*>("_NET_ACTIVE_WINDOW"), const_cast<char*>("_NET_WM_NAME"),
        const_cast<char*>("UTF8_STRING"),
    };
    ErrorTrap trap(*connection);
    if (!XInternAtoms(display, names.data(), kAtomCount, False, connection->atoms.data()) ||
        !trap.ok()) {
        return nullptr;
    }
    return std::unique_ptr<X11Screen>(new X11Screen(std::move(connection)));
}

X11Screen::X11Screen(std::unique_ptr<Connection> connection) : connection_(std::move(connection)) {}

X11Screen::~X11Screen() = default;

void X11Screen::openCapture(const QString&, OpenedHandler done) {
    CaptureOpened opened;
    opened.ok = !connection_->lost;
    if (!opened.ok) {
        opened.problem = QStringLiteral("画面を撮影できません。\r\nX サーバーとの接続が切れています。");
    }
    done(opened);
}

void X11Screen::closeCapture() {}

bool X11Screen::canActivateWindows() {
    return true;
}

bool X11Screen::pressPrintScreen() {
    Connection& c = *connection_;
    c.picture = QImage();  // a failed capture leaves no picture, never an older one
    if (c.lost) {
        return false;
    }
    ErrorTrap trap(c);
    // The root's size and visual are asked again only once the screen has changed, so that a
    // picture costs no round trip for them; a capture that fails on what was known asks anew.
    XEvent event;
    while (XCheckTypedWindowEvent(c.display, c.root, ConfigureNotify, &event)) {
        c.rootKnown = false;
    }
    for (bool known = c.rootKnown;; known = false) {
        if (!known) {
            c.rootKnown = XGetWindowAttributes(c.display, c.root, &c.rootAttributes) && trap.ok();
            if (!c.rootKnown) {
                return false;
            }
        }
        c.picture = c.capture();
        if (!c.picture.isNull() || c.lost || !known) {
            return !c.picture.isNull();
        }
        trap.forget();
    }
}

QImage X11Screen::clipboardPicture() {
    return connection_->picture;
}

bool X11Screen::activateWindow(const QString& title) {
    Connection& c = *connection_;
    if (c.lost || title.isEmpty()) {
        return false;
    }
    ErrorTrap trap(c);
    const bool managed = c.windowManagerRunning();
    const Window window = c.findWindow(title, managed);
    trap.forget();  // windows that closed while we read their titles are no fault
    if (window == 0 || c.lost) {
        return false;
    }
    if (c.hook) {
        c.hook(Stage::Found, window);
    }
    if (!c.exists(window)) {
        return false;
    }
    if (c.hook) {
        c.hook(Stage::Checked, window);
    }
    if (managed && c.supported(c.atoms[kNetActiveWindow])) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = window;
        event.xclient.message_type = c.atoms[kNetActiveWindow];
        event.xclient.format = 32;
        // Source 2 (a pager): the user's own wish, which window managers follow without their
        // focus-stealing checks.
        event.xclient.data.l[0] = 2;
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(c.display, c.root, False, SubstructureRedirectMask | SubstructureNotifyMask,
                   &event);
        return trap.sync() && c.waitUntilOnTop(window);
    }
    XRaiseWindow(c.display, window);
    XSetInputFocus(c.display, window, RevertToParent, CurrentTime);
    return trap.sync();
}

CaptureMethod X11Screen::lastCaptureMethod() const {
    return connection_->last;
}

bool X11Screen::connected() const {
    return !connection_->lost;
}

void X11Screen::setStageHook(StageHook hook) {
    connection_->hook = std::move(hook);
}

}  // namespace x11

}  // namespace platform
