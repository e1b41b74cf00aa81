// Pixels given in memory make the very file that their BMP makes, and bad pixels are refused.
#include <gtest/gtest.h>

#include "Pictures.h"
#include "pngsaver.h"

namespace pngsaver_test {
namespace {

// The picture's pixels as blue, green, red, unused, rows `stride` bytes apart.
std::vector<uint8_t> bgrx(const Picture& picture, uint32_t stride) {
    std::vector<uint8_t> pixels(size_t{stride} * picture.height, 0x5a);
    for (uint32_t y = 0; y < picture.height; ++y) {
        for (uint32_t x = 0; x < picture.width; ++x) {
            const uint8_t* rgb = &picture.rgb[(size_t{y} * picture.width + x) * 3];
            uint8_t* out = &pixels[size_t{y} * stride + x * 4];
            out[0] = rgb[2];
            out[1] = rgb[1];
            out[2] = rgb[0];
            out[3] = 0x17;  // whatever the unused byte holds
        }
    }
    return pixels;
}

TEST(PixelsToPng, WritesTheSameFileAsTheBmpWay) {
    const auto screen = decodePng(std::string(KORONCAM_TEST_DATA) + "/screens/crop_photo.png");
    ASSERT_TRUE(screen);
    // A screen corner, a photograph (coded literal-only) and a width whose BMP rows are padded.
    for (const Picture& picture : {makePicture(386, 300, 5), *screen, makePicture(37, 11, 3)}) {
        for (const char* options : {"c0", "c6", "c12"}) {
            SCOPED_TRACE(std::to_string(picture.width) + " " + options);
            TempFolder folder;
            writeFile(folder.file("in.bmp"), makeBmp(picture));
            ASSERT_EQ(
                BmpToPng(folder.file("in.bmp").c_str(), folder.file("bmp.png").c_str(), options),
                PNGSAVER_OK);
            const uint32_t stride = picture.width * 4 + 8;
            const std::vector<uint8_t> pixels = bgrx(picture, stride);
            ASSERT_EQ(PixelsToPng(pixels.data(), picture.width, picture.height, stride,
                                  folder.file("pixels.png").c_str(), options),
                      PNGSAVER_OK);
            EXPECT_EQ(readFile(folder.file("pixels.png")), readFile(folder.file("bmp.png")));
            EXPECT_EQ(folder.names(), (std::vector<std::string>{"bmp.png", "in.bmp", "pixels.png"}))
                << "a temporary file was left";
        }
    }
}

TEST(PixelsToPng, RefusesWhatIsNoPicture) {
    TempFolder folder;
    const std::string png = folder.file("out.png");
    const std::vector<uint8_t> pixels(64, 0);
    struct Case {
        const uint8_t* pixels;
        uint32_t width, height, stride;
        const char* options;
        int16_t expected;
    };
    for (const Case& c : {Case{nullptr, 2, 2, 8, "c6", PNGSAVER_ERR_BAD_BMP},
                          Case{pixels.data(), 0, 2, 8, "c6", PNGSAVER_ERR_BAD_BMP},
                          Case{pixels.data(), 2, 0, 8, "c6", PNGSAVER_ERR_BAD_BMP},
                          Case{pixels.data(), 3, 2, 8, "c6", PNGSAVER_ERR_BAD_BMP},  // short rows
                          Case{pixels.data(), 1u << 15, 1u << 14, 1u << 17, "c6",
                               PNGSAVER_ERR_BAD_BMP},  // 2^29 pixels
                          Case{pixels.data(), 2, 2, 8, "c13", PNGSAVER_ERR_BAD_OPTIONS}}) {
        EXPECT_EQ(PixelsToPng(c.pixels, c.width, c.height, c.stride, png.c_str(), c.options),
                  c.expected);
    }
    EXPECT_EQ(PixelsToPng(pixels.data(), 2, 2, 8, nullptr, "c6"), PNGSAVER_ERR_BAD_OPTIONS);
    EXPECT_TRUE(folder.names().empty()) << "a refused call wrote a file";
}

}  // namespace
}  // namespace pngsaver_test
