// A capture reads the screen's top-left corner that a picture keeps, pixel for pixel, on screens
// smaller and larger than that corner, through shared memory and through the plain request.
#include <algorithm>
#include <gtest/gtest.h>

#include "platform/x11/X11Backend.h"
#include "XTestSupport.h"

namespace {

using platform::kPictureHeight;
using platform::kPictureWidth;
using platform::x11::CaptureMethod;
using platform::x11::X11Screen;

// Every pixel tells where it is, so that a shifted, cut or channel-swapped copy shows.
QImage pattern(QSize size) {
    QImage image(size, QImage::Format_RGB32);
    for (int y = 0; y < size.height(); ++y) {
        for (int x = 0; x < size.width(); ++x) {
            image.setPixel(x, y, qRgb(x & 255, y & 255, (x >> 8) * 16 + (y >> 8) * 64 + 7));
        }
    }
    return image;
}

struct Case {
    QSize screen;
    CaptureMethod method;
};

class X11CornerTest : public testing::TestWithParam<Case> {};

TEST_P(X11CornerTest, PictureIsTheScreensCornerExactly) {
    const Case& c = GetParam();
    x11test::PrivateServer server;
    const std::string name = server.start(c.screen);
    if (name.empty()) {
        GTEST_SKIP() << "Xvfb cannot be started here";
    }
    auto windows = x11test::TestWindows::open(name);
    ASSERT_NE(windows, nullptr);
    const QImage shown = pattern(c.screen);
    windows->showOnRoot(shown);
    auto screen = X11Screen::open(name, c.method);
    ASSERT_NE(screen, nullptr);

    for (int round = 0; round < 2; ++round) {  // the second reuses the shared segment
        ASSERT_TRUE(screen->pressPrintScreen());
        EXPECT_EQ(screen->lastCaptureMethod(), c.method);
        const QImage corner = shown.copy(0, 0, std::min(c.screen.width(), kPictureWidth),
                                         std::min(c.screen.height(), kPictureHeight));
        EXPECT_TRUE(screen->clipboardPicture().convertToFormat(QImage::Format_RGB32) == corner)
            << "round " << round;
    }
}

INSTANTIATE_TEST_SUITE_P(Screens, X11CornerTest,
                         testing::Values(Case{{320, 240}, CaptureMethod::SharedMemory},
                                         Case{{320, 240}, CaptureMethod::GetImage},
                                         Case{{350, 600},
                                              CaptureMethod::SharedMemory},  // narrower, taller
                                         Case{{1024, 768}, CaptureMethod::SharedMemory},
                                         Case{{1024, 768}, CaptureMethod::GetImage}));

}  // namespace
