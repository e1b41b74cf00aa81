// Choosing the backend, and a backend whose X server goes away.
#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <gtest/gtest.h>
#include <QGuiApplication>

#include "platform/x11/X11Backend.h"
#include "platform/ScreenChoice.h"
#include "support/ScopedEnv.h"
#include "XTestSupport.h"

namespace {

using platform::x11::X11Screen;

using testing_support::ScopedEnv;

// Whether the screen's capture opens; an X11 screen answers at once.
bool openedOk(platform::Screen& screen) {
    std::optional<platform::CaptureOpened> opened;
    screen.openCapture({}, [&](const platform::CaptureOpened& answer) { opened = answer; });
    EXPECT_TRUE(opened.has_value()) << "no answer at once";
    return opened && opened->ok;
}

TEST(MakeScreen, ServesAnX11Session) {
    if (QGuiApplication::platformName() != "xcb" || !x11test::TestWindows::open()) {
        GTEST_SKIP() << "Qt does not run as an X11 client here";
    }
    ScopedEnv wayland("WAYLAND_DISPLAY", "");
    ScopedEnv type("XDG_SESSION_TYPE", "x11");
    auto screen = platform::makeScreen();
    EXPECT_NE(dynamic_cast<X11Screen*>(screen.get()), nullptr);
    EXPECT_TRUE(openedOk(*screen));
    EXPECT_TRUE(screen->pressPrintScreen());
    EXPECT_FALSE(screen->clipboardPicture().isNull());
}

TEST(MakeScreen, AWaylandSessionNeverCapturesItsXDisplay) {
    if (QGuiApplication::platformName() != "xcb" || !x11test::TestWindows::open()) {
        GTEST_SKIP() << "Qt does not run as an X11 client here";
    }
    // Xwayland's root window reads back black: the X display must not serve.
    ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
    auto screen = platform::makeScreen();
    EXPECT_EQ(dynamic_cast<X11Screen*>(screen.get()), nullptr);
}

TEST(MakeScreen, WithoutAnXServerReportsTheScreenUnavailable) {
    ScopedEnv display("DISPLAY", ":9999");  // nothing listens there
    auto screen = platform::makeScreen();
    EXPECT_FALSE(openedOk(*screen));
    EXPECT_FALSE(screen->pressPrintScreen());
    EXPECT_TRUE(screen->clipboardPicture().isNull());
    EXPECT_FALSE(screen->activateWindow("PostPet"));
    EXPECT_EQ(X11Screen::open({}), nullptr);
}

TEST(LostConnection, CallsFailInsteadOfEndingTheProcess) {
    x11test::PrivateServer server;
    const std::string name = server.start();
    if (name.empty()) {
        GTEST_SKIP() << "Xvfb cannot be started here";
    }
    auto screen = X11Screen::open(name);
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(screen->pressPrintScreen());
    EXPECT_EQ(screen->clipboardPicture().size(), QSize(320, 240));

    server.stop();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(screen->pressPrintScreen());
    EXPECT_TRUE(screen->clipboardPicture().isNull()) << "an older picture passed for a new one";
    EXPECT_FALSE(screen->activateWindow("PostPet"));
    EXPECT_FALSE(screen->connected());
    EXPECT_FALSE(openedOk(*screen));
    EXPECT_FALSE(screen->pressPrintScreen());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    screen.reset();  // closing a lost connection must not crash either
}

TEST(NoWindowManager, PropertiesLeftByAnEndedManagerAreIgnored) {
    x11test::PrivateServer server;  // surely without a window manager
    const std::string name = server.start();
    if (name.empty()) {
        GTEST_SKIP() << "Xvfb cannot be started here";
    }
    auto windows = x11test::TestWindows::open(name);
    ASSERT_NE(windows, nullptr);
    windows->leaveStaleWindowManagerProperties();
    const QColor postPetColour(200, 40, 90);
    const x11test::WindowId postPet = windows->make("PostPet", {0, 0, 100, 80}, postPetColour);
    windows->make("Cover", {0, 0, 200, 160}, QColor(30, 160, 220));
    auto screen = X11Screen::open(name);
    ASSERT_NE(screen, nullptr);

    // Asking a manager that is gone would leave the window covered.
    ASSERT_TRUE(screen->activateWindow("PostPet"));
    ASSERT_TRUE(screen->pressPrintScreen());
    EXPECT_EQ(
        x11test::pixelsNotOf(screen->clipboardPicture(), windows->insideOf(postPet), postPetColour),
        0);
}

}  // namespace
