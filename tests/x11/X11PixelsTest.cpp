// Turning X pixels into a QImage for the pixel layouts an X server may report.
#include <cstdint>
#include <vector>
#include <gtest/gtest.h>

#include "platform/x11/X11Pixels.h"

namespace {

using platform::x11::PixelLayout;
using platform::x11::toImage;

PixelLayout layout(int width, int height, int bytesPerLine, int bitsPerPixel,
                   std::uint32_t red = 0xff0000, std::uint32_t green = 0xff00,
                   std::uint32_t blue = 0xff, bool msbFirst = false) {
    return {width, height, bytesPerLine, bitsPerPixel, msbFirst, red, green, blue};
}

TEST(X11Pixels, UsualLayoutKeepsColoursAndMakesThemOpaque) {
    // Two pixels, least significant byte first, the top byte left at 0 as X servers do.
    const std::vector<unsigned char> pixels = {0x40, 0x80, 0xff, 0x00, 0x03, 0x02, 0x01, 0x00};
    const QImage image = toImage(layout(2, 1, 8, 32), pixels.data());
    ASSERT_EQ(image.format(), QImage::Format_RGB32);
    EXPECT_EQ(image.pixel(0, 0), qRgb(0xff, 0x80, 0x40));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0x01, 0x02, 0x03));
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 255);
}

TEST(X11Pixels, ChannelOrderFollowsTheMasks) {
    const std::vector<unsigned char> pixels = {0x40, 0x80, 0xff, 0x00};
    const QImage image = toImage(layout(1, 1, 4, 32, 0xff, 0xff00, 0xff0000), pixels.data());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0x40, 0x80, 0xff));
}

TEST(X11Pixels, MostSignificantByteFirst) {
    const std::vector<unsigned char> pixels = {0x00, 0xff, 0x80, 0x40};
    const QImage image = toImage(layout(1, 1, 4, 32, 0xff0000, 0xff00, 0xff, true), pixels.data());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0xff, 0x80, 0x40));
}

TEST(X11Pixels, PackedThreeBytePixelsWithPaddedRows) {
    // 2 × 2 pixels of 3 bytes, each row padded to 8 bytes.
    const std::vector<unsigned char> pixels = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0xee, 0xee,
                                               0x07, 0x08, 0x09, 0x0a, 0x0b, 0x0c, 0xee, 0xee};
    const QImage image = toImage(layout(2, 2, 8, 24), pixels.data());
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0x03, 0x02, 0x01));
    EXPECT_EQ(image.pixel(1, 0), qRgb(0x06, 0x05, 0x04));
    EXPECT_EQ(image.pixel(0, 1), qRgb(0x09, 0x08, 0x07));
    EXPECT_EQ(image.pixel(1, 1), qRgb(0x0c, 0x0b, 0x0a));
}

TEST(X11Pixels, PaddedRowsOfTheUsualLayout) {
    const std::vector<unsigned char> pixels = {0x01, 0x02, 0x03, 0x00, 0xee, 0xee, 0xee, 0xee,
                                               0x04, 0x05, 0x06, 0x00, 0xee, 0xee, 0xee, 0xee};
    const QImage image = toImage(layout(1, 2, 8, 32), pixels.data());
    EXPECT_EQ(image.pixel(0, 0), qRgb(0x03, 0x02, 0x01));
    EXPECT_EQ(image.pixel(0, 1), qRgb(0x06, 0x05, 0x04));
}

TEST(X11Pixels, LayoutsItCannotReadGiveNoImage) {
    const std::vector<unsigned char> pixels(64, 0x11);
    EXPECT_TRUE(toImage(layout(2, 2, 4, 16, 0xf800, 0x07e0, 0x001f), pixels.data()).isNull());
    EXPECT_TRUE(toImage(layout(2, 2, 4, 32), pixels.data()).isNull()) << "rows too short";
    EXPECT_TRUE(toImage(layout(2, 2, 8, 32, 0x3ff00000, 0xffc00, 0x3ff), pixels.data()).isNull());
    EXPECT_TRUE(toImage(layout(2, 2, 8, 32, 0, 0xff00, 0xff), pixels.data()).isNull());
    EXPECT_TRUE(toImage(layout(0, 2, 8, 32), pixels.data()).isNull());
    EXPECT_TRUE(toImage(layout(2, 2, 8, 32), nullptr).isNull());
}

}  // namespace
