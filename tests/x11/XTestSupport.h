#pragma once
// The tests' own side of the X server: a connection that makes real windows of one colour, and
// an X server of a test's own for tests that take it away.

#include <memory>
#include <string>
#include <vector>
#include <QColor>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include "support/XWindow.h"

namespace x11test {

using WindowId = unsigned long;

using TitleProperty = testing_support::TitleProperty;

// The test's own connection and the windows it made; destroys those that are left at the end.
class TestWindows {
public:
    // Null when the display cannot be opened (empty name: $DISPLAY).
    static std::unique_ptr<TestWindows> open(const std::string& displayName = {});
    ~TestWindows();

    // A window filled with `colour`, its inside at `where` (root coordinates; a window manager
    // may move it down by its title bar). Returns once it is shown, and managed and on top when
    // a window manager runs; fails the test when that does not happen.
    WindowId make(const QString& title, const QRect& where, const QColor& colour,
                  TitleProperty property = TitleProperty::NetWmName);
    void destroy(WindowId window);
    // Where the window's inside is shown, in root coordinates.
    QRect insideOf(WindowId window);
    bool windowManagerRunning();
    WindowId activeWindow();  // 0 when no window manager reports one
    QSize rootSize();
    // Leaves the root properties that a window manager sets, as one that ended without cleaning
    // up would: naming a check window that no longer exists and no clients.
    void leaveStaleWindowManagerProperties();
    // Shows `picture` (Format_RGB32) on the root window from its top-left corner, as its
    // background.
    void showOnRoot(const QImage& picture);

    struct Impl;

private:
    explicit TestWindows(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// The pixels of `area` (shrunk by 2 at each side, away from borders) that are not `colour`.
int pixelsNotOf(const QImage& image, const QRect& area, const QColor& colour);

// An Xvfb of the test's own, on a display number that it picks itself.
class PrivateServer {
public:
    PrivateServer() = default;
    PrivateServer(const PrivateServer&) = delete;
    PrivateServer& operator=(const PrivateServer&) = delete;
    ~PrivateServer() { stop(); }

    // The display name (":N"), or an empty text when Xvfb cannot be started here. `size` is the
    // screen's, in pixels.
    std::string start(QSize size = {320, 240});
    void stop();

private:
    int pid_ = -1;
};

}  // namespace x11test
