// Damaged, lying and unsupported BMP files give code 2, never a crash, and write no PNG.
#include <random>

#include <gtest/gtest.h>

#include "Pictures.h"
#include "pngsaver.h"

namespace pngsaver_test {
namespace {

class BadInput : public testing::Test {
protected:
    int16_t convert(const std::vector<uint8_t>& bmp) {
        writeFile(folder.file("in.bmp"), bmp);
        return BmpToPng(folder.file("in.bmp").c_str(), folder.file("out.png").c_str(), "c6");
    }
    bool pngWritten() const { return std::filesystem::exists(folder.file("out.png")); }

    TempFolder folder;
};

TEST_F(BadInput, EveryTruncationIsRejected) {
    for (const BmpLayout& layout :
         {BmpLayout{}, BmpLayout{.bitsPerPixel = 32, .topDown = true, .compression = 3},
          BmpLayout{.bitsPerPixel = 32, .headerSize = 124, .compression = 3}}) {
        const std::vector<uint8_t> bmp = makeBmp(makePicture(5, 4, 1), layout);
        for (size_t length = 0; length < bmp.size(); ++length) {
            EXPECT_EQ(convert({bmp.begin(), bmp.begin() + length}), PNGSAVER_ERR_BAD_BMP)
                << "cut at " << length << " of " << bmp.size();
        }
        EXPECT_FALSE(pngWritten());
    }
}

struct Lie {
    const char* what;
    size_t at;
    uint32_t value;
    bool wide;  // a 32-bit field, else 16-bit
};

TEST_F(BadInput, LyingOrUnsupportedHeadersAreRejected) {
    const std::vector<uint8_t> good = makeBmp(makePicture(5, 4, 1));  // 118 bytes
    const Lie lies[] = {
        {"signature", 0, 'B' | 'A' << 8, false},
        {"pixel offset past the end", 10, 119, true},
        {"pixel offset far past the end", 10, 0xFFFFFFF0, true},
        {"pixel offset inside the headers", 10, 20, true},
        {"core header", 14, 12, true},
        {"unknown header size", 14, 64, true},
        {"header larger than the file", 14, 0xFFFFFFFF, true},
        {"width 0", 18, 0, true},
        {"negative width", 18, static_cast<uint32_t>(-5), true},
        {"huge width", 18, 0x7FFFFFFF, true},
        {"height 0", 22, 0, true},
        {"more rows than data", 22, 5, true},
        {"more top-down rows than data", 22, static_cast<uint32_t>(-5), true},
        {"smallest height", 22, 0x80000000, true},
        {"two planes", 26, 2, false},
        {"palette", 28, 8, false},
        {"16-bit", 28, 16, false},
        {"run-length compressed", 30, 1, true},
        {"bitfields on 24-bit", 30, 3, true},
        {"JPEG inside", 30, 4, true},
    };
    for (const Lie& lie : lies) {
        std::vector<uint8_t> bmp = good;
        lie.wide ? put32(bmp, lie.at, lie.value) : put16(bmp, lie.at, lie.value);
        EXPECT_EQ(convert(bmp), PNGSAVER_ERR_BAD_BMP) << lie.what;
    }
    EXPECT_FALSE(pngWritten());
}

TEST_F(BadInput, WidthTimesHeightBeyondAnyPicture) {
    std::vector<uint8_t> bmp = makeBmp(makePicture(5, 4, 1));
    put32(bmp, 18, 0x10000);  // 65536 x 65536 wraps a 32-bit product to 0
    put32(bmp, 22, 0x10000);
    EXPECT_EQ(convert(bmp), PNGSAVER_ERR_BAD_BMP);
}

TEST_F(BadInput, MasksOtherThanTheStandardOnesAreRejected) {
    const std::vector<uint8_t> good =
        makeBmp(makePicture(5, 4, 1), {.bitsPerPixel = 32, .headerSize = 108, .compression = 3});
    for (size_t mask : {54, 58, 62}) {  // red, green, blue
        std::vector<uint8_t> bmp = good;
        put32(bmp, mask, 0x0000F800);  // a 16-bit style mask
        EXPECT_EQ(convert(bmp), PNGSAVER_ERR_BAD_BMP) << mask;
    }
}

TEST_F(BadInput, FieldsWeDoNotNeedMayLie) {
    std::vector<uint8_t> bmp = makeBmp(makePicture(5, 4, 1));
    put32(bmp, 2, 7);           // file size
    put32(bmp, 34, 123456789);  // image size
    bmp.insert(bmp.end(), 50, 0xAB);
    EXPECT_EQ(convert(bmp), PNGSAVER_OK);
    EXPECT_EQ(decodePng(folder.file("out.png")), makePicture(5, 4, 1));
}

// Random damage to the headers: whatever comes out is a code, and a PNG only on success.
TEST_F(BadInput, RandomlyDamagedHeadersNeverCrash) {
    const std::vector<uint8_t> good =
        makeBmp(makePicture(6, 5, 2), {.bitsPerPixel = 32, .headerSize = 40, .compression = 3});
    std::mt19937 random(1);
    for (int round = 0; round < 600; ++round) {
        std::vector<uint8_t> bmp = good;
        for (int flips = 1 + round % 3; flips > 0; --flips) {
            bmp[random() % 70] = static_cast<uint8_t>(random());
        }
        std::filesystem::remove(folder.file("out.png"));
        const int16_t result = convert(bmp);
        ASSERT_TRUE(result == PNGSAVER_OK || result == PNGSAVER_ERR_BAD_BMP) << result;
        ASSERT_EQ(pngWritten(), result == PNGSAVER_OK);
    }
}

}  // namespace
}  // namespace pngsaver_test
