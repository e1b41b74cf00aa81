#include "Harness.h"
#include "Overlay.h"
#include "support/XWindow.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <gtest/gtest.h>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcessEnvironment>
#include <QRegularExpression>

// X11 last: its macros (None, Status, Bool) break Qt and GoogleTest headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace e2e {
namespace {

// Windows close while we read them (a message box that was just confirmed): Xlib's default
// handler would end the test program on such a BadWindow.
int ignoreXError(Display*, XErrorEvent*) {
    return 0;
}

void runXdotool(const QStringList& arguments) {
    const int status = QProcess::execute(QStringLiteral("xdotool"), arguments);
    EXPECT_EQ(status, 0) << "xdotool " << arguments.join(' ').toStdString();
}

}  // namespace

bool waitUntil(const std::function<bool()>& done, Millis timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return done();
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

// ---- the test's side of the X server ----

struct Desktop::Impl {
    Display* display = nullptr;
    Window root = 0;
    std::vector<Window> mine;

    Atom atom(const char* name) { return XInternAtom(display, name, False); }

    // One property as an array of 32-bit items (Xlib hands them over as longs).
    std::vector<unsigned long> longs(Window window, const char* property, Atom type) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        std::vector<unsigned long> result;
        if (XGetWindowProperty(display, window, atom(property), 0, 1 << 16, False, type, &actual,
                               &format, &count, &remaining, &data) == Success &&
            data != nullptr && format == 32) {
            const auto* items = reinterpret_cast<const unsigned long*>(data);
            result.assign(items, items + count);
        }
        if (data != nullptr) {
            XFree(data);
        }
        return result;
    }

    QString text(Window window, Atom property, Atom type) {
        Atom actual = 0;
        int format = 0;
        unsigned long count = 0;
        unsigned long remaining = 0;
        unsigned char* data = nullptr;
        QString result;
        if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, type, &actual, &format,
                               &count, &remaining, &data) == Success &&
            data != nullptr && format == 8) {
            const auto* bytes = reinterpret_cast<const char*>(data);
            result = type == XA_STRING ? QString::fromLatin1(bytes, qsizetype(count))
                                       : QString::fromUtf8(bytes, qsizetype(count));
        }
        if (data != nullptr) {
            XFree(data);
        }
        return result;
    }

    QString title(Window window) {
        const QString name = text(window, atom("_NET_WM_NAME"), atom("UTF8_STRING"));
        return name.isEmpty() ? text(window, XA_WM_NAME, XA_STRING) : name;
    }

    std::vector<Window> clients() { return longs(root, "_NET_CLIENT_LIST", XA_WINDOW); }

    bool isClient(Window window) {
        const std::vector<Window> all = clients();
        return std::find(all.begin(), all.end(), window) != all.end();
    }

    bool onTopAndActive(Window window) {
        const std::vector<Window> stacking = longs(root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
        const std::vector<Window> active = longs(root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
        return !stacking.empty() && stacking.back() == window && active.size() == 1 &&
               active[0] == window;
    }
};

Desktop& Desktop::get() {
    static Desktop desktop;
    return desktop;
}

Desktop::Desktop() : impl_(std::make_unique<Impl>()) {
    XSetErrorHandler(ignoreXError);
    impl_->display = XOpenDisplay(nullptr);
    if (impl_->display != nullptr) {
        impl_->root = DefaultRootWindow(impl_->display);
    }
}

Desktop::~Desktop() {
    if (impl_->display != nullptr) {
        XCloseDisplay(impl_->display);
    }
}

bool Desktop::connected() const {
    return impl_->display != nullptr;
}

std::optional<WindowId> Desktop::findWindow(const QString& title, qint64 pid) {
    std::optional<WindowId> found;
    for (Window window : impl_->clients()) {
        if (impl_->title(window) != title) {
            continue;
        }
        const std::vector<unsigned long> owner = impl_->longs(window, "_NET_WM_PID", XA_CARDINAL);
        if (pid == 0 || (owner.size() == 1 && qint64(owner[0]) == pid)) {
            found = window;  // the list runs oldest first: the newest one wins
        }
    }
    return found;
}

std::optional<WindowId> Desktop::waitForWindow(const QString& title, qint64 pid, Millis timeout) {
    std::optional<WindowId> found;
    waitUntil([&] { return (found = findWindow(title, pid)).has_value(); }, timeout);
    if (!found) {
        ADD_FAILURE() << "no window titled \"" << title.toStdString() << "\" within "
                      << timeout.count() << " ms";
    }
    return found;
}

bool Desktop::waitForNoWindow(const QString& title, qint64 pid, Millis timeout) {
    return waitUntil([&] { return !findWindow(title, pid).has_value(); }, timeout);
}

QString Desktop::title(WindowId window) {
    return impl_->title(window);
}

bool Desktop::waitForTitle(WindowId window, const QString& title, Millis timeout) {
    if (waitUntil([&] { return impl_->title(window) == title; }, timeout)) {
        return true;
    }
    ADD_FAILURE() << "the title stayed \"" << impl_->title(window).toStdString()
                  << "\", expected \"" << title.toStdString() << "\"";
    return false;
}

std::optional<Placement> Desktop::placement(WindowId window) {
    Window root = 0;
    int x = 0;
    int y = 0;
    unsigned width = 0;
    unsigned height = 0;
    unsigned border = 0;
    unsigned depth = 0;
    Window child = 0;
    if (!XGetGeometry(impl_->display, window, &root, &x, &y, &width, &height, &border, &depth) ||
        !XTranslateCoordinates(impl_->display, window, impl_->root, 0, 0, &x, &y, &child)) {
        return std::nullopt;
    }
    Placement result;
    result.inside = QRect(x, y, int(width), int(height));
    // left, right, top, bottom
    const std::vector<unsigned long> extents =
        impl_->longs(window, "_NET_FRAME_EXTENTS", XA_CARDINAL);
    result.outer = result.inside;
    if (extents.size() == 4) {
        result.outer.adjust(-int(extents[0]), -int(extents[2]), int(extents[1]), int(extents[3]));
    }
    return result;
}

std::vector<WindowId> Desktop::stackingBottomUp() {
    return impl_->longs(impl_->root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
}

WindowId Desktop::activeWindow() {
    const std::vector<Window> active = impl_->longs(impl_->root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
    return active.size() == 1 ? active[0] : 0;
}

QPoint Desktop::pointer() {
    Window root = 0;
    Window child = 0;
    int x = 0;
    int y = 0;
    int windowX = 0;
    int windowY = 0;
    unsigned mask = 0;
    XQueryPointer(impl_->display, impl_->root, &root, &child, &x, &y, &windowX, &windowY, &mask);
    return {x, y};
}

QSize Desktop::size() {
    const int screen = DefaultScreen(impl_->display);
    return {DisplayWidth(impl_->display, screen), DisplayHeight(impl_->display, screen)};
}

QImage Desktop::grab(const QRect& area) {
    XImage* image = XGetImage(impl_->display, impl_->root, area.x(), area.y(),
                              unsigned(area.width()), unsigned(area.height()), AllPlanes, ZPixmap);
    if (image == nullptr) {
        ADD_FAILURE() << "the screen cannot be read";
        return {};
    }
    const int redShift = shiftOf(image->red_mask);
    const int greenShift = shiftOf(image->green_mask);
    const int blueShift = shiftOf(image->blue_mask);
    QImage result(area.size(), QImage::Format_RGB32);
    for (int y = 0; y < area.height(); ++y) {
        for (int x = 0; x < area.width(); ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            result.setPixel(x, y,
                            qRgb(int((pixel & image->red_mask) >> redShift),
                                 int((pixel & image->green_mask) >> greenShift),
                                 int((pixel & image->blue_mask) >> blueShift)));
        }
    }
    XDestroyImage(image);
    return result;
}

WindowId Desktop::makeWindow(const QString& title, const QRect& where, const QColor& colour) {
    testing_support::WindowLook look;
    look.bothTitles = true;
    look.takesFocus = true;  // as an ordinary application window does
    const WindowId window =
        testing_support::makeColouredWindow(impl_->display, title, where, colour, look);
    impl_->mine.push_back(window);
    if (!waitUntil([&] { return impl_->onTopAndActive(window); }, 5s)) {
        ADD_FAILURE() << "window \"" << title.toStdString() << "\" was not shown on top";
    }
    return window;
}

WindowId Desktop::makeOverlay(const QPoint& at, const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const Window window = showOverlay(impl_->display, at, rgb);
    impl_->mine.push_back(window);
    if (!waitUntil([&] { return grab(QRect(at, rgb.size())) == rgb; }, 5s)) {
        ADD_FAILURE() << "the overlay window does not show its picture";
    }
    return window;
}

void Desktop::destroy(WindowId window) {
    std::erase(impl_->mine, window);
    XDestroyWindow(impl_->display, window);
    XSync(impl_->display, False);
    // A later window may get the same id: the window manager must have let go of this one.
    waitUntil([&] { return !impl_->isClient(window); }, 5s);
}

void Desktop::destroyMine() {
    while (!impl_->mine.empty()) {
        destroy(impl_->mine.back());
    }
}

// ---- the person at the keyboard ----

void click(WindowId window, const QPoint& inside) {
    const std::optional<Placement> where = Desktop::get().placement(window);
    ASSERT_TRUE(where.has_value()) << "the window to click is gone";
    const QPoint at = where->inside.topLeft() + inside;
    // Not "mousemove --sync": it waits for a motion, which never comes when the pointer is
    // already there.
    runXdotool({"mousemove", QString::number(at.x()), QString::number(at.y())});
    EXPECT_TRUE(waitUntil([&] { return Desktop::get().pointer() == at; }, 5s))
        << "the pointer did not get there";
    runXdotool({"click", "1"});
}

void focus(WindowId window, const QPoint& idleSpot) {
    Desktop& desktop = Desktop::get();
    if (desktop.activeWindow() == window) {
        return;
    }
    click(window, idleSpot);
    EXPECT_TRUE(waitUntil([&] { return desktop.activeWindow() == window; }, 5s))
        << "a click did not give the window the focus";
}

void pressKeys(const QString& keys) {
    runXdotool({"key", "--clearmodifiers", keys});
}

// ---- the program ----

Program::Program() {
    const QDir build(QStringLiteral(KORONCAM_BUILD_DIR));
    for (const char* name : {"KoronCam", "libpngsaver.so", "Koro03.hlp"}) {
        const QString from = build.filePath(QString::fromLatin1(name));
        const QString to = folder() + '/' + QString::fromLatin1(name);
        EXPECT_TRUE(QFile::copy(from, to)) << "cannot copy " << from.toStdString();
    }
}

Program::~Program() {
    kill();
}

QString Program::folder() const {
    return dir_.path();
}

QString Program::pictureFolder() const {
    return folder() + QStringLiteral("/bmp/");
}

QString Program::settingsPath() const {
    return folder() + QStringLiteral("/KoronCam.ini");
}

QByteArray Program::settingsBytes() const {
    QFile file(settingsPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void Program::writeSettings(const QByteArray& text) {
    QFile file(settingsPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(text), text.size());
}

void Program::prepare(const Options& options) {
    auto boolean = [](bool value) { return value ? QByteArray("True") : QByteArray("False"); };
    QByteArray text = "[init]\nmaxpathsize=" + QByteArray::number(options.maxpathsize) +
                      "\npath=" + pictureFolder().toUtf8() +
                      "\nkcactive=" + boolean(options.kcactive) +
                      "\nstopiffull=" + boolean(options.stopiffull) +
                      "\nrunpng=" + boolean(options.runpng) + "\n";
    if (options.formmin) {
        text += "formmin=" + boolean(*options.formmin) + "\n";
    }
    writeSettings(text);
    ASSERT_TRUE(QDir().mkpath(pictureFolder()));
}

bool Program::runAsNobody() {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr || nobody->pw_uid == 0) {
        return false;
    }
    user_ = {nobody->pw_uid, nobody->pw_gid};
    return true;
}

QString Program::home() const {
    return workingDir_.path();
}

void Program::useInstalled(const QString& command) {
    command_ = command;
}

namespace {

// Gives `path` and everything in it to the user.
void handOver(const QString& path, uid_t user, gid_t group) {
    ASSERT_EQ(lchown(QFile::encodeName(path).constData(), user, group), 0)
        << path.toStdString() << ": " << std::strerror(errno);
    QDirIterator it(path, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        ASSERT_EQ(lchown(QFile::encodeName(entry).constData(), user, group), 0)
            << entry.toStdString() << ": " << std::strerror(errno);
    }
}

}  // namespace

void Program::start() {
    QProcessEnvironment environment =
        environment_.value_or(QProcessEnvironment::systemEnvironment());
    if (user_) {
        const auto [user, group] = *user_;
        if (command_.isEmpty()) {
            ASSERT_NO_FATAL_FAILURE(handOver(folder(), user, group));
        }
        ASSERT_NO_FATAL_FAILURE(handOver(workingDir_.path(), user, group));
        if (!environment_) {
            // A fresh home: the user's folders follow from HOME alone.
            environment.insert(QStringLiteral("HOME"), workingDir_.path());
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
        }
        // In the child, between fork and exec; only async-signal-safe calls.
        process_.setChildProcessModifier([user, group] {
            if (setgroups(0, nullptr) != 0 || setgid(group) != 0 || setuid(user) != 0) {
                _exit(126);
            }
        });
    }
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // Some of its ways out end the process at once, which a leak check would take for leaks.
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    process_.setProcessEnvironment(environment);
    // Another folder than its own: the program must find its files beside itself.
    process_.setWorkingDirectory(workingDir_.path());
    // A file, not a pipe: nobody reads a pipe while the test waits, and a full one would block.
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.setStandardOutputFile(workingDir_.filePath(QStringLiteral("output.txt")));
    process_.start(command_.isEmpty() ? folder() + QStringLiteral("/KoronCam") : command_, {});
    ASSERT_TRUE(process_.waitForStarted(10000)) << process_.errorString().toStdString();
}

qint64 Program::pid() const {
    return process_.processId();
}

std::optional<WindowId> Program::waitForWindow(const QString& title, Millis timeout) {
    return Desktop::get().waitForWindow(title, pid(), timeout);
}

bool Program::waitForExit(Millis timeout) {
    return process_.state() == QProcess::NotRunning ||
           process_.waitForFinished(int(timeout.count()));
}

int Program::exitCode() const {
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void Program::kill() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(10000);
    }
}

QString Program::output() const {
    QFile file(workingDir_.filePath(QStringLiteral("output.txt")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void Program::finish() {
    kill();
    const QString text = output();
    EXPECT_FALSE(text.contains(QStringLiteral("ERROR: AddressSanitizer")) ||
                 text.contains(QStringLiteral("runtime error:")))
        << "the sanitizers reported a fault:\n"
        << text.toStdString();
    if (testing::Test::HasFailure()) {
        std::cerr << "--- the program's output ---\n" << text.toStdString() << "---\n";
    }
}

QString screenLockPath() {
    QString display = qEnvironmentVariable("DISPLAY");
    display.replace(QLatin1Char('/'), QLatin1Char('_'));
    return QDir::temp().filePath(QStringLiteral("koroncam-e2e-%1.lock").arg(display));
}

void saveScreenOnFailure() {
    if (!testing::Test::HasFailure() || !Desktop::get().connected()) {
        return;
    }
    // What the screen showed when the test failed, for the person who reads the failure.
    const testing::TestInfo* test = testing::UnitTest::GetInstance()->current_test_info();
    const QString path = QDir::temp().filePath(
        QStringLiteral("koroncam-e2e-%1.%2.png")
            .arg(QString::fromLatin1(test->test_suite_name()), QString::fromLatin1(test->name())));
    if (Desktop::get().grab(QRect(QPoint(0, 0), Desktop::get().size())).save(path)) {
        std::cerr << "the screen at the failure: " << path.toStdString() << "\n";
    }
}

// ---- files ----

std::vector<QFileInfo> pictures(const QString& folder, const QStringList& patterns) {
    const QFileInfoList found =
        QDir(folder).entryInfoList(patterns, QDir::Files | QDir::Hidden, QDir::Name);
    return {found.begin(), found.end()};
}

qint64 totalSize(const std::vector<QFileInfo>& files) {
    qint64 total = 0;
    for (const QFileInfo& file : files) {
        total += file.size();
    }
    return total;
}

QDateTime timeInName(const QString& fileName) {
    static const QRegularExpression form(
        QStringLiteral("^kcPic(\\d{4}-\\d\\d-\\d\\d-\\d\\d-\\d\\d-\\d\\d)\\.(bmp|png)$"));
    const QRegularExpressionMatch match = form.match(fileName);
    if (!match.hasMatch()) {
        return {};
    }
    return QDateTime::fromString(match.captured(1), QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
}

void writeFile(const QString& path, qint64 size, const QDateTime& modified) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(QByteArray(size, 'x')), size);
    if (modified.isValid()) {
        ASSERT_TRUE(file.setFileTime(modified, QFileDevice::FileModificationTime));
    }
}

// ---- the main window ----

std::optional<MainWindow> findMainWindow(Program& program, const QString& title) {
    const std::optional<WindowId> id = program.waitForWindow(title);
    if (!id) {
        return std::nullopt;
    }
    const std::optional<Placement> where = Desktop::get().placement(*id);
    if (!where) {
        ADD_FAILURE() << "the main window went away";
        return std::nullopt;
    }
    EXPECT_EQ(where->inside.width(), kClientWidth);
    MainWindow window;
    window.id = *id;
    window.menuBarHeight = where->inside.height() - kClientHeight;
    EXPECT_GT(window.menuBarHeight, 10) << "the main window is not in its full display";
    return window;
}

namespace {

// The horizontal extent of each caption in the menu bar, left to right: runs of columns that
// differ from the bar's background, split where at least `gap` plain columns lie between.
std::vector<std::pair<int, int>> menuCaptions(const QImage& bar, int gap = 8) {
    const QRgb background = bar.pixel(bar.width() - 1, bar.height() / 2);
    std::vector<std::pair<int, int>> captions;
    int plain = gap;
    for (int x = 0; x < bar.width(); ++x) {
        bool ink = false;
        for (int y = 0; y < bar.height() && !ink; ++y) {
            const QRgb c = bar.pixel(x, y);
            ink = std::abs(qRed(c) - qRed(background)) + std::abs(qGreen(c) - qGreen(background)) +
                      std::abs(qBlue(c) - qBlue(background)) >
                  120;
        }
        if (!ink) {
            ++plain;
            continue;
        }
        if (plain >= gap) {
            captions.emplace_back(x, x);
        } else {
            captions.back().second = x;
        }
        plain = 0;
    }
    return captions;
}

}  // namespace

std::optional<QPoint> menuCaption(WindowId window, int index) {
    const QRect inside = Desktop::get().placement(window).value_or(Placement{}).inside;
    const QRect bar(inside.topLeft(), QSize(inside.width(), 18));
    std::vector<std::pair<int, int>> captions;
    const bool found = waitUntil(
        [&] {
            captions = menuCaptions(Desktop::get().grab(bar));
            return captions.size() == 6;
        },
        5s);
    if (!found) {
        ADD_FAILURE() << captions.size()
                      << " captions; expected スタート(S) 設定(O) 表示 png圧縮 見る(V) ヘルプ";
        return std::nullopt;
    }
    return QPoint((captions[index].first + captions[index].second) / 2, bar.height() / 2);
}

void confirmMessage(Program& program) {
    const std::optional<WindowId> box = program.waitForWindow(QStringLiteral("KoronCam"));
    ASSERT_TRUE(box.has_value()) << "no message box";
    // Its margin, where a click only gives it the focus.
    focus(*box, QPoint(3, 3));
    pressKeys(QStringLiteral("Return"));
    EXPECT_TRUE(waitUntil([&] { return Desktop::get().title(*box).isEmpty(); }, 5s))
        << "the message box stays";
}

void MainWindowTest::startWith(const Options& options) {
    ASSERT_NO_FATAL_FAILURE(program.prepare(options));
    ASSERT_NO_FATAL_FAILURE(program.start());
    window = findMainWindow(program, kStopped);
    ASSERT_TRUE(window.has_value());
}

void MainWindowTest::switchByKey() {
    focus(window->id, window->below(kIdleSpot));
    pressKeys(QStringLiteral("alt+s"));
}

void MainWindowTest::switchByButton() {
    click(window->id, window->below(kStartButton));
}

bool MainWindowTest::waitForPictures(size_t count, const QStringList& patterns) {
    // A message box stops the picture in progress: no use waiting for more then.
    std::optional<WindowId> box;
    const bool came = waitUntil(
        [&] {
            box = desktop.findWindow(QStringLiteral("KoronCam"), program.pid());
            return box || pictures(program.pictureFolder(), patterns).size() >= count;
        },
        count * kTickTimeout);
    if (came && !box) {
        return true;
    }
    ADD_FAILURE() << pictures(program.pictureFolder(), patterns).size() << " of " << count
                  << " pictures came" << (box ? ", and a message box showed" : "");
    return false;
}

}  // namespace e2e
