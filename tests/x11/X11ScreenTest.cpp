// Capture and activation against a real X server: real windows, a real capture of the screen.
#include <gtest/gtest.h>

#include "platform/x11/X11Backend.h"
#include "XTestSupport.h"

namespace {

using platform::x11::CaptureMethod;
using platform::x11::X11Screen;
using x11test::pixelsNotOf;
using x11test::TestWindows;
using x11test::TitleProperty;
using x11test::WindowId;

// Channels that differ from one another, so that a swapped channel order shows.
const QColor kPostPetColour(200, 40, 90);
const QColor kCoverColour(30, 160, 220);
const QColor kOtherColour(240, 200, 20);

class X11ScreenTest : public testing::Test {
protected:
    void SetUp() override {
        windows = TestWindows::open();
        if (!windows) {
            GTEST_SKIP() << "no X display (DISPLAY unset or not reachable)";
        }
        screen = X11Screen::open({});
        ASSERT_NE(screen, nullptr);
    }

    // The screen's corner as the backend captures it now.
    QImage capture() {
        EXPECT_TRUE(screen->pressPrintScreen());
        return screen->clipboardPicture();
    }

    // A "PostPet" window at the top-left corner and a larger window of another colour over it.
    WindowId makeCoveredPostPet(const QString& title = "PostPet",
                                TitleProperty property = TitleProperty::NetWmName) {
        const WindowId postPet = windows->make(title, {0, 0, 200, 150}, kPostPetColour, property);
        windows->make("Cover", {0, 0, 500, 400}, kCoverColour);
        return postPet;
    }

    std::unique_ptr<TestWindows> windows;
    std::unique_ptr<X11Screen> screen;
};

TEST_F(X11ScreenTest, CaptureIsTheCornerOfTheRootWindow) {
    const QImage picture = capture();
    EXPECT_EQ(picture.size(), windows->rootSize().boundedTo({platform::kPictureWidth,
                                                              platform::kPictureHeight}));
    EXPECT_TRUE(picture.format() == QImage::Format_RGB32 ||
                picture.format() == QImage::Format_RGB888);
}

TEST_F(X11ScreenTest, SharedMemoryAndGetImageGiveTheSamePixels) {
    windows->make("Colour", {50, 60, 300, 200}, kPostPetColour);
    windows->make("Other", {200, 150, 300, 200}, kOtherColour);
    auto plain = X11Screen::open({}, CaptureMethod::GetImage);
    ASSERT_NE(plain, nullptr);

    const QImage shared = capture();
    ASSERT_TRUE(plain->pressPrintScreen());
    EXPECT_EQ(screen->lastCaptureMethod(), CaptureMethod::SharedMemory)
        << "MIT-SHM did not work with this X server";
    EXPECT_EQ(plain->lastCaptureMethod(), CaptureMethod::GetImage);
    EXPECT_TRUE(shared == plain->clipboardPicture());
}

TEST_F(X11ScreenTest, CapturesShowTheScreenAsItIsNow) {
    // The shared segment is reused: the second picture must be new, not the first one again.
    const QImage before = capture();
    const WindowId window = windows->make("Colour", {200, 150, 150, 100}, kOtherColour);
    const QImage after = capture();
    const QRect inside = windows->insideOf(window);
    EXPECT_GT(pixelsNotOf(before, inside, kOtherColour), 0);
    EXPECT_EQ(pixelsNotOf(after, inside, kOtherColour), 0);
    EXPECT_EQ(qAlpha(after.pixel(inside.center())), 255);
    EXPECT_EQ(pixelsNotOf(screen->clipboardPicture(), inside, kOtherColour), 0);
}

TEST_F(X11ScreenTest, ActivationBringsPostPetAboveItsCover) {
    const WindowId postPet = makeCoveredPostPet();
    const QRect inside = windows->insideOf(postPet);
    EXPECT_EQ(pixelsNotOf(capture(), inside, kCoverColour), 0) << "without activation";

    ASSERT_TRUE(screen->activateWindow("PostPet"));
    if (windows->windowManagerRunning()) {
        // Done when the call returns, not some time later.
        EXPECT_EQ(windows->activeWindow(), postPet);
    }
    EXPECT_EQ(pixelsNotOf(capture(), inside, kPostPetColour), 0) << "right after activation";
}

TEST_F(X11ScreenTest, TitleThatBeginsWithTheTextIsFound) {
    const WindowId postPet = makeCoveredPostPet("PostPet - 手紙");
    ASSERT_TRUE(screen->activateWindow("PostPet"));
    EXPECT_EQ(pixelsNotOf(capture(), windows->insideOf(postPet), kPostPetColour), 0);
}

TEST_F(X11ScreenTest, ExactTitleWinsOverAnEarlierPrefixMatch) {
    const WindowId prefix = windows->make("PostPet - 手紙", {0, 0, 200, 150}, kOtherColour);
    const WindowId exact = windows->make("PostPet", {300, 0, 200, 150}, kPostPetColour);
    windows->make("Cover", {0, 0, 700, 400}, kCoverColour);

    ASSERT_TRUE(screen->activateWindow("PostPet"));
    const QImage picture = capture();
    EXPECT_EQ(pixelsNotOf(picture, windows->insideOf(exact), kPostPetColour), 0);
    EXPECT_EQ(pixelsNotOf(picture, windows->insideOf(prefix), kCoverColour), 0);
}

TEST_F(X11ScreenTest, TitleInWmNameAloneIsFound) {
    const WindowId postPet = makeCoveredPostPet("PostPet", TitleProperty::WmName);
    ASSERT_TRUE(screen->activateWindow("PostPet"));
    EXPECT_EQ(pixelsNotOf(capture(), windows->insideOf(postPet), kPostPetColour), 0);
}

TEST_F(X11ScreenTest, NoMatchingWindowChangesNothing) {
    // Titles that contain the text, or that the text begins with, are no match.
    const WindowId postPe = windows->make("PostPe", {0, 0, 200, 150}, kPostPetColour);
    const WindowId inside = windows->make("My PostPet", {250, 0, 200, 150}, kOtherColour);
    windows->make("postpet", {0, 200, 200, 150}, kPostPetColour);
    windows->make("Cover", {0, 0, 150, 100}, kCoverColour);
    const WindowId active = windows->activeWindow();
    const QImage before = capture();

    EXPECT_FALSE(screen->activateWindow("PostPet"));
    EXPECT_FALSE(screen->activateWindow(QString())) << "the empty text begins every title";
    EXPECT_TRUE(capture() == before);
    EXPECT_EQ(windows->activeWindow(), active);
    EXPECT_NE(active, postPe);
    EXPECT_NE(active, inside);
}

TEST_F(X11ScreenTest, WindowClosedAfterTheLookupIsNotActivated) {
    const WindowId postPet = makeCoveredPostPet();
    const WindowId cover = windows->activeWindow();
    screen->setStageHook([&](X11Screen::Stage stage, unsigned long) {
        if (stage == X11Screen::Stage::Found) {
            windows->destroy(postPet);
        }
    });
    EXPECT_FALSE(screen->activateWindow("PostPet"));
    EXPECT_EQ(windows->activeWindow(), cover);
}

TEST_F(X11ScreenTest, WindowClosedWhileBeingActivatedFailsThatCallOnly) {
    const WindowId postPet = makeCoveredPostPet();
    screen->setStageHook([&](X11Screen::Stage stage, unsigned long) {
        if (stage == X11Screen::Stage::Checked) {
            windows->destroy(postPet);  // the request then names a window that is gone
        }
    });
    EXPECT_FALSE(screen->activateWindow("PostPet"));

    // The error belonged to that call: the next ones work.
    screen->setStageHook({});
    const WindowId again = windows->make("PostPet", {0, 0, 200, 150}, kPostPetColour);
    windows->make("Cover", {0, 0, 500, 400}, kCoverColour);
    EXPECT_TRUE(screen->activateWindow("PostPet"));
    EXPECT_EQ(pixelsNotOf(capture(), windows->insideOf(again), kPostPetColour), 0);
}

}  // namespace
