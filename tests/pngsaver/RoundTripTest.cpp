// Pictures come back pixel for pixel, whatever the BMP layout and the compression level.
#include <cstdlib>
#include <tuple>

#include <gtest/gtest.h>

#include "Pictures.h"
#include "pngsaver.h"

namespace pngsaver_test {
namespace {

// Converts the picture stored with the given layout and returns the decoded PNG.
std::optional<Picture> roundTrip(const Picture& picture, const BmpLayout& layout,
                                 const char* options = "c6") {
    TempFolder folder;
    writeFile(folder.file("in.bmp"), makeBmp(picture, layout));
    const int16_t result =
        BmpToPng(folder.file("in.bmp").c_str(), folder.file("out.png").c_str(), options);
    EXPECT_EQ(result, PNGSAVER_OK);
    return decodePng(folder.file("out.png"));
}

// Width (1 to 4 cover every row padding), bits per pixel, rows stored top row first.
class RoundTripLayout : public testing::TestWithParam<std::tuple<uint32_t, uint16_t, bool>> {};

TEST_P(RoundTripLayout, GivesTheSamePixels) {
    const auto [width, bits, topDown] = GetParam();
    const Picture picture = makePicture(width, width > 4 ? 300 : 9, width);
    EXPECT_EQ(roundTrip(picture, {.bitsPerPixel = bits, .topDown = topDown}), picture);
}

INSTANTIATE_TEST_SUITE_P(Widths, RoundTripLayout,
                         testing::Combine(testing::Values(1u, 2u, 3u, 4u, 386u),
                                          testing::Values(uint16_t{24}, uint16_t{32}),
                                          testing::Bool()));

TEST(RoundTrip, EveryLevelGivesTheSamePixels) {
    const Picture picture = makePicture(386, 300, 7);
    for (int level = 0; level <= 12; ++level) {
        const std::string options = "c" + std::to_string(level);
        EXPECT_EQ(roundTrip(picture, {}, options.c_str()), picture) << options;
    }
}

TEST(RoundTrip, LaterHeaderVersionsAndStandardMasks) {
    const Picture picture = makePicture(37, 11, 3);
    for (uint32_t headerSize : {40u, 52u, 56u, 108u, 124u}) {
        EXPECT_EQ(roundTrip(picture, {.headerSize = headerSize}), picture) << headerSize;
        EXPECT_EQ(roundTrip(picture, {.bitsPerPixel = 32, .headerSize = headerSize}), picture);
        EXPECT_EQ(
            roundTrip(
                picture,
                {.bitsPerPixel = 32, .topDown = true, .headerSize = headerSize, .compression = 3}),
            picture)
            << headerSize;
    }
}

// Real screen content: text, interface and a photo, where every filter and its ties occur.
TEST(RoundTrip, ScreenPictures) {
    for (const char* name : {"crop_term.png", "crop_ui.png", "crop_photo.png"}) {
        const auto picture = decodePng(std::string(KORONCAM_TEST_DATA) + "/screens/" + name);
        ASSERT_TRUE(picture) << name;
        EXPECT_EQ(roundTrip(*picture, {}), *picture) << name;
    }
}

}  // namespace
}  // namespace pngsaver_test
