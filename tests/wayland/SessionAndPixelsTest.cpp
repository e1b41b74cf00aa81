// Which backend serves which session, and the raw frame layouts the screen stream may send.

#include <cstdlib>
#include <optional>
#include <QTransform>
#include <gtest/gtest.h>

#include "platform/ScreenChoice.h"
#include "platform/wayland/FramePixels.h"
#include "platform/wayland/WaylandScreen.h"
#include "support/ScopedEnv.h"

namespace {

using platform::wayland::FrameView;
using platform::wayland::RawFormat;
using testing_support::ScopedEnv;

TEST(SessionChoice, WaylandByEitherVariable) {
    EXPECT_TRUE(platform::isWaylandSession("wayland-0", ""));
    EXPECT_TRUE(platform::isWaylandSession("", "wayland"));
    EXPECT_TRUE(platform::isWaylandSession("wayland-1", "x11"));
    EXPECT_FALSE(platform::isWaylandSession("", "x11"));
    EXPECT_FALSE(platform::isWaylandSession("", ""));
    EXPECT_FALSE(platform::isWaylandSession("", "tty"));
}

TEST(SessionChoice, AWaylandSessionGetsThePortalEvenWithAnXDisplay) {
    ScopedEnv display("DISPLAY", ":0");
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", "wayland-0");
        ScopedEnv type("XDG_SESSION_TYPE", nullptr);
        auto screen = platform::makeScreen();
        EXPECT_NE(dynamic_cast<platform::wayland::WaylandScreen*>(screen.get()), nullptr);
    }
    {
        ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
        ScopedEnv type("XDG_SESSION_TYPE", "wayland");
        auto screen = platform::makeScreen();
        EXPECT_NE(dynamic_cast<platform::wayland::WaylandScreen*>(screen.get()), nullptr);
    }
    {
        // Not Wayland, and Qt is no X11 client here (offscreen): nothing can be captured.
        ScopedEnv wayland("WAYLAND_DISPLAY", nullptr);
        ScopedEnv type("XDG_SESSION_TYPE", "x11");
        auto screen = platform::makeScreen();
        EXPECT_EQ(dynamic_cast<platform::wayland::WaylandScreen*>(screen.get()), nullptr);
        std::optional<platform::CaptureOpened> opened;
        screen->openCapture({}, [&](const platform::CaptureOpened& answer) { opened = answer; });
        ASSERT_TRUE(opened.has_value());
        EXPECT_FALSE(opened->ok);
        EXPECT_TRUE(opened->problem.contains("X11"));
        EXPECT_FALSE(screen->pressPrintScreen());
    }
}

// One pixel (red 0x11, green 0x22, blue 0x33, alpha/unused 0x44) in every layout, in a row
// padded beyond its width.
TEST(FramePixels, EveryOfferedLayoutGivesTheSameOpaqueColour) {
    const struct {
        RawFormat format;
        unsigned char bytes[4];
    } cases[] = {
        {RawFormat::BGRx, {0x33, 0x22, 0x11, 0x44}}, {RawFormat::BGRA, {0x33, 0x22, 0x11, 0x44}},
        {RawFormat::RGBx, {0x11, 0x22, 0x33, 0x44}}, {RawFormat::RGBA, {0x11, 0x22, 0x33, 0x44}},
        {RawFormat::xRGB, {0x44, 0x11, 0x22, 0x33}}, {RawFormat::ARGB, {0x44, 0x11, 0x22, 0x33}},
        {RawFormat::xBGR, {0x44, 0x33, 0x22, 0x11}}, {RawFormat::ABGR, {0x44, 0x33, 0x22, 0x11}},
    };
    for (const auto& c : cases) {
        // 2 x 2 pixels, stride 12: the second pixel of each row is black, then 4 padding bytes.
        unsigned char frame[24] = {};
        for (int row = 0; row < 2; ++row) {
            std::copy(c.bytes, c.bytes + 4, frame + row * 12);
            std::fill(frame + row * 12 + 8, frame + row * 12 + 12, 0xee);
        }
        const QImage image = platform::wayland::toImage({c.format, 2, 2, 12, frame});
        ASSERT_EQ(image.size(), QSize(2, 2)) << int(c.format);
        EXPECT_EQ(image.pixel(0, 0), qRgb(0x11, 0x22, 0x33)) << int(c.format);
        EXPECT_EQ(image.pixel(0, 1), qRgb(0x11, 0x22, 0x33)) << int(c.format);
        EXPECT_EQ(image.pixel(1, 1), qRgb(0, 0, 0)) << int(c.format);
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255) << int(c.format);
    }
}

TEST(FramePixels, ALayoutThatDoesNotHoldItsWidthGivesNoPicture) {
    unsigned char frame[32] = {};
    EXPECT_TRUE(platform::wayland::toImage({RawFormat::BGRx, 4, 2, 12, frame}).isNull());
    EXPECT_TRUE(platform::wayland::toImage({RawFormat::BGRx, 0, 2, 16, frame}).isNull());
    EXPECT_TRUE(platform::wayland::toImage({RawFormat::BGRx, 4, 2, 16, nullptr}).isNull());
    EXPECT_FALSE(platform::wayland::toImage({RawFormat::BGRx, 4, 2, 16, frame}).isNull());
}

// The corner of what the user sees: the crop taken first, then the desktop's turn undone, then
// the top-left kept; checked against Qt's own turns of the whole picture.
TEST(FramePixels, TheCornerIsTheTopLeftOfTheCroppedAndTurnedBackFrame) {
    using platform::wayland::FrameTurn;
    // 7 x 5 pixels, each its own colour, rows padded to 32 bytes.
    unsigned char frame[5 * 32] = {};
    for (int y = 0; y < 5; ++y) {
        for (int x = 0; x < 7; ++x) {
            const unsigned char pixel[4] = {std::uint8_t(x), std::uint8_t(y), 0x80, 0};
            std::copy(pixel, pixel + 4, frame + y * 32 + x * 4);
        }
    }
    const struct {
        FrameTurn turn;
        bool mirror;
        int degrees;  // clockwise, as Qt turns, to show the frame as the user sees it
    } turns[] = {
        {FrameTurn::None, false, 0},        {FrameTurn::Turn90, false, 90},
        {FrameTurn::Turn180, false, 180},   {FrameTurn::Turn270, false, 270},
        {FrameTurn::Flipped, true, 0},      {FrameTurn::Flipped90, true, 270},
        {FrameTurn::Flipped180, true, 180}, {FrameTurn::Flipped270, true, 90},
    };
    for (const QRect crop : {QRect(), QRect(1, 1, 5, 3)}) {
        FrameView view{RawFormat::BGRx, 7, 5, 32, frame, crop};
        const QImage whole = platform::wayland::toImage(view).copy(crop.isEmpty() ? QRect() : crop);
        for (const auto& t : turns) {
            view.turn = t.turn;
            const QImage shown =
                whole.mirrored(t.mirror, false).transformed(QTransform().rotate(t.degrees));
            for (const QSize bound : {QSize(3, 2), QSize(100, 100)}) {
                const QImage corner = platform::wayland::cornerImage(view, bound);
                EXPECT_EQ(corner, shown.copy(QRect(QPoint(0, 0), shown.size().boundedTo(bound))))
                    << int(t.turn) << " crop " << crop.width() << " bound " << bound.width();
            }
        }
    }
    EXPECT_TRUE(platform::wayland::cornerImage({RawFormat::BGRx, 9, 5, 32, frame}, {3, 2}).isNull())
        << "rows shorter than the width";
}

}  // namespace
