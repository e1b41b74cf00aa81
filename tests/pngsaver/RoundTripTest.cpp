// Pictures come back pixel for pixel, whatever the BMP layout and the compression level.
#include <cstdlib>
#include <set>
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

// The cost by which rows are compared: the sum of the filtered bytes' magnitudes as signed bytes.
int filterCost(const Picture& picture, uint32_t y, int type) {
    const size_t rowBytes = size_t{picture.width} * 3;
    const uint8_t* cur = &picture.rgb[y * rowBytes];
    int sum = 0;
    for (size_t i = 0; i < rowBytes; ++i) {
        const int a = i >= 3 ? cur[i - 3] : 0;
        const int b = y > 0 ? cur[i - rowBytes] : 0;
        const int c = i >= 3 && y > 0 ? cur[i - rowBytes - 3] : 0;
        const int p = a + b - c;
        const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        const int predictors[5] = {0, a, b, (a + b) / 2,
                                   pa <= pb && pa <= pc ? a
                                   : pb <= pc           ? b
                                                        : c};
        sum += std::abs(static_cast<int8_t>(cur[i] - predictors[type]));
    }
    return sum;
}

TEST(Filter, EveryRowTakesACheapestFilter) {
    const Picture picture = makePicture(200, 120, 11);
    TempFolder folder;
    writeFile(folder.file("in.bmp"), makeBmp(picture));
    ASSERT_EQ(BmpToPng(folder.file("in.bmp").c_str(), folder.file("out.png").c_str(), "c6"),
              PNGSAVER_OK);
    const size_t rowBytes = 1 + size_t{picture.width} * 3;
    const std::vector<uint8_t> data = imageData(folder.file("out.png"), rowBytes * picture.height);
    ASSERT_FALSE(data.empty());

    std::set<int> used;
    for (uint32_t y = 0; y < picture.height; ++y) {
        const int chosen = data[y * rowBytes];
        ASSERT_LE(chosen, 4) << "row " << y;
        used.insert(chosen);
        for (int type = 0; type < 5; ++type) {
            EXPECT_LE(filterCost(picture, y, chosen), filterCost(picture, y, type))
                << "row " << y << " took " << chosen << " over " << type;
        }
    }
    EXPECT_EQ(used.size(), 5u) << "the picture should make every filter win somewhere";
}

}  // namespace
}  // namespace pngsaver_test
