// The BMP reader on any bytes: either an error, or a picture that lies wholly inside the bytes
// and that the PNG writer turns into a PNG of exactly its pixels, however the writer was used
// before and whichever filters and coding it chose.
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "BmpReader.h"
#include "Check.h"
#include "PngCheck.h"
#include "PngWriter.h"

namespace {

uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

// What an accepted file's headers say, read straight from their fixed places, must be what the
// reader reports.
void checkHeaders(const uint8_t* data, size_t size, const pngsaver::BmpImage& image) {
    using fuzz::check;
    check(size >= 54, "an accepted file holds both headers");
    const auto height = static_cast<int32_t>(le32(data + 22));
    const uint32_t planesAndBits = le32(data + 26);
    const uint32_t compression = le32(data + 30);
    check(le32(data + 18) == image.width, "the width of the header");
    check(int64_t{image.height} == (height < 0 ? -int64_t{height} : int64_t{height}),
          "the height of the header");
    check(image.topDown == (height < 0), "a negative height means top-down");
    check(planesAndBits == (1u | (image.bytesPerPixel * 8) << 16), "one plane of 24 or 32 bits");
    check(compression == 0 || (compression == 3 && image.bytesPerPixel == 4),
          "uncompressed, or bit fields on 32 bits");
    check(image.pixels == data + le32(data + 10), "the pixels start where the header says");
    check(image.stride == (uint64_t{image.width} * image.bytesPerPixel * 8 + 31) / 32 * 4,
          "rows are padded to 4 bytes");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    pngsaver::BmpImage image;
    if (pngsaver::parseBmp(data, size, &image) != pngsaver::BmpStatus::Ok) {
        return 0;
    }
    using fuzz::check;
    check(image.width > 0 && image.height > 0, "an empty picture was accepted");
    check(image.bytesPerPixel == 3 || image.bytesPerPixel == 4, "pixels of 3 or 4 bytes");
    checkHeaders(data, size, image);
    // libFuzzer's copy of the input ends exactly at data + size, so AddressSanitizer also
    // catches any read past it below.
    check(image.pixels >= data && image.pixels <= data + size &&
              image.stride * image.height <= size_t(data + size - image.pixels),
          "the rows lie inside the file");

    // The program keeps one encoder, with its memory and compressor, for all its pictures; so do
    // we, one per level, as allocating a compressor costs far more than using it. Each input is
    // also encoded as a smaller picture, then again, so that reuse is tested within one input.
    static std::array<pngsaver::PngEncoder, 13> encoders;
    pngsaver::BmpImage smaller = image;
    smaller.width = (image.width + 1) / 2;
    smaller.height = (image.height + 1) / 2;
    const int level = static_cast<int>(size % 13);  // the size picks a level, so all get used
    // It also picks the shortest run of new pixels that makes a row worth filtering, from 1 to
    // 32: small pictures then also take the lowest-entropy filters and count as photographs,
    // whose sample decides for literal-only coding or for deflate.
    pngsaver::EncoderRule rule;
    rule.minNewRun = 1u << (size / 13 % 6);
    std::vector<uint8_t> first;
    pngsaver::PngEncoder& encoder = encoders[level];
    for (const pngsaver::BmpImage* picture : {&image, &smaller, &image}) {
        check(encoder.encode(*picture, level, rule), "the PNG writer failed");
        const std::string wrong =
            fuzz::comparePng(encoder.png().data(), encoder.png().size(), *picture);
        check(wrong.empty(), "PNG of the picture: " + wrong);
        if (picture == &image) {
            const std::vector<uint8_t> png(encoder.png().data(),
                                           encoder.png().data() + encoder.png().size());
            check(first.empty() || png == first, "the same picture gives the same PNG");
            first = png;
        }
    }
    return 0;
}
