// Each row's filter: None for a row without a long run of new pixels (text, windows, flat colour);
// for the others, of all five filters the one whose bytes, type byte included, have the lowest
// entropy (estimated from every second byte).
#include <array>
#include <cmath>
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "Pictures.h"
#include "pngsaver.h"

namespace pngsaver_test {
namespace {

constexpr uint32_t kLongRun = 32;  // new pixels in a row that make it worth filtering

uint32_t pixelAt(const Picture& picture, int64_t x, int64_t y) {
    if (x < 0 || y < 0) {
        return 0;  // beyond the picture: black
    }
    const uint8_t* p = &picture.rgb[(size_t(y) * picture.width + size_t(x)) * 3];
    return uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
}

bool hasLongRunOfNewPixels(const Picture& picture, uint32_t y) {
    uint32_t run = 0;
    for (int64_t x = 0; x < picture.width; ++x) {
        const uint32_t here = pixelAt(picture, x, y);
        const bool isNew =
            here != pixelAt(picture, x - 1, y) && here != pixelAt(picture, x, int64_t{y} - 1);
        run = isNew ? run + 1 : 0;
        if (run >= kLongRun) {
            return true;
        }
    }
    return false;
}

// Row y filtered with the given type, as the PNG format defines the filters.
std::vector<uint8_t> filterRow(const Picture& picture, uint32_t y, int type) {
    const size_t rowBytes = size_t{picture.width} * 3;
    const uint8_t* cur = &picture.rgb[y * rowBytes];
    std::vector<uint8_t> out(rowBytes);
    for (size_t i = 0; i < rowBytes; ++i) {
        const int a = i >= 3 ? cur[i - 3] : 0;
        const int b = y > 0 ? cur[i - rowBytes] : 0;
        const int c = i >= 3 && y > 0 ? cur[i - rowBytes - 3] : 0;
        const int p = a + b - c;
        const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
        const int paeth = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        const int predictors[5] = {0, a, b, (a + b) / 2, paeth};
        out[i] = static_cast<uint8_t>(cur[i] - predictors[type]);
    }
    return out;
}

// The Shannon entropy, in bits, of the filter type byte and every second byte of the filtered row,
// from which the encoder estimates the entropy of the row.
double entropyBits(int type, const std::vector<uint8_t>& row) {
    std::array<double, 256> counts{};
    counts[type] += 1;
    double n = 1;
    for (size_t i = 0; i < row.size(); i += 2, n += 1) {
        counts[row[i]] += 1;
    }
    double bits = 0;
    for (const double count : counts) {
        bits -= count > 0 ? count * std::log2(count / n) : 0;
    }
    return bits;
}

// Rows of every kind, eight at a time: flat colour; 31 new pixels, one short of a long run, then
// their last pixel repeated; the same with 32; new pixels of only four values, where None has the
// lowest entropy; a ramp (Sub); the ramp above plus a constant (Up); noise; the average of left and
// above (Average).
Picture rowsOfEveryKind(uint32_t width, uint32_t height) {
    Picture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    std::mt19937 random(12);
    const size_t rowBytes = size_t{width} * 3;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = &picture.rgb[y * rowBytes];
        const uint8_t* above = y > 0 ? row - rowBytes : nullptr;
        const auto base = static_cast<uint8_t>(random());
        for (size_t i = 0; i < rowBytes; ++i) {
            const size_t x = i / 3;
            const int up = above ? above[i] : 0;
            const int left = i >= 3 ? row[i - 3] : 0;
            switch (y % 8) {
                case 0:
                    row[i] = base;
                    break;
                case 1:
                    row[i] = static_cast<uint8_t>(x < 31 ? base + 7 * x + i % 3 : row[i - 3]);
                    break;
                case 2:
                    row[i] = static_cast<uint8_t>(x < 32 ? base + 7 * x + i % 3 : row[i - 3]);
                    break;
                case 3:
                    row[i] = static_cast<uint8_t>(85 * ((x + i % 3 + random() % 2) % 4));
                    break;
                case 4:
                    row[i] = static_cast<uint8_t>(base + 5 * x + i % 3);
                    break;
                case 5:
                    row[i] = static_cast<uint8_t>(up + 3);
                    break;
                case 6:
                    row[i] = static_cast<uint8_t>(random());
                    break;
                default:
                    row[i] = static_cast<uint8_t>((left + up) / 2 + 1);
            }
        }
    }
    return picture;
}

// Encodes the picture and checks every row's filter; adds the types chosen for rows with a long
// run to filtered, and counts the rows without one.
void checkFilters(const Picture& picture, std::set<int>* filtered, int* withoutRun) {
    TempFolder folder;
    writeFile(folder.file("in.bmp"), makeBmp(picture));
    ASSERT_EQ(BmpToPng(folder.file("in.bmp").c_str(), folder.file("out.png").c_str(), "c6"),
              PNGSAVER_OK);
    EXPECT_EQ(decodePng(folder.file("out.png")), picture);
    const size_t lineBytes = 1 + size_t{picture.width} * 3;
    const std::vector<uint8_t> data = imageData(folder.file("out.png"), lineBytes * picture.height);
    ASSERT_FALSE(data.empty());
    for (uint32_t y = 0; y < picture.height; ++y) {
        const int chosen = data[y * lineBytes];
        ASSERT_LE(chosen, 4) << "row " << y;
        if (!hasLongRunOfNewPixels(picture, y)) {
            EXPECT_EQ(chosen, 0) << "row " << y << " has no long run of new pixels";
            ++*withoutRun;
            continue;
        }
        filtered->insert(chosen);
        const double chosenBits = entropyBits(chosen, filterRow(picture, y, chosen));
        for (int type = 0; type < 5; ++type) {
            // The encoder sums in single precision; a hundredth of a bit is far above its error.
            EXPECT_LE(chosenBits, entropyBits(type, filterRow(picture, y, type)) + 0.01)
                << "row " << y << " took " << chosen << " over " << type;
        }
    }
}

TEST(Filter, RowsWithoutALongRunOfNewPixelsStayUnfilteredOthersTakeTheLowestEntropy) {
    std::set<int> filtered;
    int withoutRun = 0;
    checkFilters(rowsOfEveryKind(120, 96), &filtered, &withoutRun);
    EXPECT_EQ(withoutRun, 24) << "the rows of flat colour and of 31 new pixels";
    const auto photo = decodePng(std::string(KORONCAM_TEST_DATA) + "/screens/crop_photo.png");
    ASSERT_TRUE(photo);
    checkFilters(*photo, &filtered, &withoutRun);
    EXPECT_EQ(filtered, (std::set<int>{0, 1, 2, 3, 4})) << "every filter should win somewhere";
}

// Byte values counted more than 65,536 times in a row, past the encoder's table of c * log2(c).
TEST(Filter, RowsOfAWideScreen) {
    std::set<int> filtered;
    int withoutRun = 0;
    checkFilters(rowsOfEveryKind(50000, 8), &filtered, &withoutRun);
    EXPECT_EQ(withoutRun, 2);
}

}  // namespace
}  // namespace pngsaver_test
