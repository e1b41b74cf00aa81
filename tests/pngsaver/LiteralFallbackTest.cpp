// Photographs are coded literal-only (no matches) when a sample of their rows says that is smaller;
// pictures with more than a few unfiltered rows, and photographs whose rows repeat, keep deflate.
#include <random>

#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include "Pictures.h"
#include "pngsaver.h"

namespace pngsaver_test {
namespace {

// Photograph-like noise: each byte the mean of its left and upper neighbours plus a little noise.
// Every pixel is new, and the short chance matches cost more than they save.
Picture grain(uint32_t width, uint32_t height) {
    Picture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    std::mt19937 random(3);
    const size_t rowBytes = size_t{width} * 3;
    for (size_t i = 0; i < picture.rgb.size(); ++i) {
        const int left = i % rowBytes >= 3 ? picture.rgb[i - 3] : 128;
        const int up = i >= rowBytes ? picture.rgb[i - rowBytes] : 128;
        picture.rgb[i] = static_cast<uint8_t>((left + up) / 2 + int(random() % 9) - 4);
    }
    return picture;
}

// Every pixel new, but each row repeats itself every 40 pixels: long matches.
Picture repeatingRows(uint32_t width, uint32_t height) {
    Picture picture{width, height, std::vector<uint8_t>(size_t{width} * height * 3)};
    for (size_t i = 0; i < picture.rgb.size(); ++i) {
        const size_t x = i / 3 % width, y = i / 3 / width;
        picture.rgb[i] = static_cast<uint8_t>(7 * y + 37 * (x % 40) + 91 * (i % 3));
    }
    return picture;
}

// Makes the given rows one flat colour: rows without new pixels.
Picture withFlatRows(Picture picture, uint32_t count) {
    const size_t rowBytes = size_t{picture.width} * 3;
    for (uint32_t n = 0; n < count; ++n) {
        const uint32_t y = (n + 1) * picture.height / (count + 1);
        std::fill_n(&picture.rgb[y * rowBytes], rowBytes, uint8_t{128});
    }
    return picture;
}

// The image data's zlib stream and its filtered rows, from the PNG of the picture.
struct Encoded {
    std::vector<uint8_t> stream;
    std::vector<uint8_t> rows;
};

Encoded encode(const Picture& picture, const std::string& options) {
    TempFolder folder;
    writeFile(folder.file("in.bmp"), makeBmp(picture));
    EXPECT_EQ(
        BmpToPng(folder.file("in.bmp").c_str(), folder.file("out.png").c_str(), options.c_str()),
        PNGSAVER_OK);
    EXPECT_EQ(decodePng(folder.file("out.png")), picture) << options;
    const size_t rawSize = (1 + size_t{picture.width} * 3) * picture.height;
    return {zlibStream(folder.file("out.png")), imageData(folder.file("out.png"), rawSize)};
}

// The rows as libdeflate codes them at the level.
std::vector<uint8_t> deflated(const std::vector<uint8_t>& rows, int level) {
    libdeflate_compressor* compressor = libdeflate_alloc_compressor(level);
    std::vector<uint8_t> out(libdeflate_zlib_compress_bound(compressor, rows.size()));
    out.resize(
        libdeflate_zlib_compress(compressor, rows.data(), rows.size(), out.data(), out.size()));
    libdeflate_free_compressor(compressor);
    return out;
}

// The size of the rows coded literal-only by zlib.
size_t literalSize(const std::vector<uint8_t>& rows) {
    z_stream stream{};
    EXPECT_EQ(deflateInit2(&stream, 1, Z_DEFLATED, 15, 9, Z_HUFFMAN_ONLY), Z_OK);
    std::vector<uint8_t> out(deflateBound(&stream, rows.size()));
    stream.next_in = const_cast<Bytef*>(rows.data());
    stream.avail_in = static_cast<uInt>(rows.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    const size_t size = stream.total_out;
    deflateEnd(&stream);
    return size;
}

// Levels 1 to 9 find short matches that literal-only coding beats by about 4 %; from level 10 on,
// deflate's own parsing is as good, and the stream is deflate's.
TEST(LiteralFallback, GrainIsCodedLiteralOnlyWhereThatIsSmaller) {
    const Picture picture = grain(300, 100);
    for (int level = 1; level <= 12; ++level) {
        const std::string options = "c" + std::to_string(level);
        const Encoded encoded = encode(picture, options);
        ASSERT_FALSE(encoded.rows.empty()) << options;
        const std::vector<uint8_t> byDeflate = deflated(encoded.rows, level);
        if (level <= 9) {
            EXPECT_EQ(encoded.stream.size(), literalSize(encoded.rows)) << options;
            EXPECT_LT(encoded.stream.size(), byDeflate.size()) << options;
        } else {
            EXPECT_EQ(encoded.stream, byDeflate) << options;
        }
    }
}

TEST(LiteralFallback, RowsThatRepeatKeepTheirMatches) {
    const Encoded encoded = encode(repeatingRows(300, 100), "c6");
    ASSERT_FALSE(encoded.rows.empty());
    EXPECT_EQ(encoded.stream, deflated(encoded.rows, 6));
    EXPECT_LT(encoded.stream.size() * 10, literalSize(encoded.rows));
}

// Unfiltered rows are screen content, where matches pay: from three rows in a hundred on, the
// picture is not a photograph, even where literal-only coding would be smaller.
TEST(LiteralFallback, AtMostTwoRowsInAHundredUnfiltered) {
    const Encoded two = encode(withFlatRows(grain(300, 100), 2), "c6");
    ASSERT_FALSE(two.rows.empty());
    EXPECT_LT(two.stream.size(), deflated(two.rows, 6).size());

    const Encoded three = encode(withFlatRows(grain(300, 100), 3), "c6");
    ASSERT_FALSE(three.rows.empty());
    EXPECT_EQ(three.stream, deflated(three.rows, 6));
    EXPECT_LT(literalSize(three.rows), three.stream.size());
}

}  // namespace
}  // namespace pngsaver_test
