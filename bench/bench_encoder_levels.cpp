// What the other deflate settings would give: for each screen image, BmpToPng at every libdeflate
// level from 6 to 12, and zlib's level 6 with its filtered-data strategy (what libpng uses) over
// our own filtered rows, each as time and size against libpng level 6 in the same run. It sets no
// bar; it shows why "c6" is what it is. Exits with 2 when it cannot run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include <zlib.h>

#include "BenchPictures.h"
#include "EncoderBaseline.h"
#include "pngsaver.h"

namespace fs = std::filesystem;

namespace {

using bench::Bgr;

uint32_t be32(const std::vector<uint8_t>& in, size_t at) {
    return uint32_t{in[at]} << 24 | uint32_t{in[at + 1]} << 16 | uint32_t{in[at + 2]} << 8 |
           uint32_t{in[at + 3]};
}

// The zlib stream of a PNG: its IDAT chunks joined.
std::vector<uint8_t> idat(const std::vector<uint8_t>& png) {
    std::vector<uint8_t> stream;
    for (size_t at = 8; at + 12 <= png.size();) {
        const uint32_t length = be32(png, at);
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) {
            stream.insert(stream.end(), png.begin() + long(at + 8),
                          png.begin() + long(at + 8 + length));
        }
        at += 12 + size_t{length};
    }
    return stream;
}

// Our filtered rows, as our encoder hands them to deflate: "c0" stores them, zlib unpacks them.
std::vector<uint8_t> filteredRows(const fs::path& bmp, const fs::path& png, const Bgr& bgr) {
    if (BmpToPng(bmp.c_str(), png.c_str(), "c0") != 0) {
        throw std::runtime_error("BmpToPng c0 failed");
    }
    const std::vector<uint8_t> stream = idat(bench::readFile(png));
    std::vector<uint8_t> rows((size_t{bgr.width} * 3 + 1) * bgr.height);
    uLongf size = rows.size();
    if (uncompress(rows.data(), &size, stream.data(), stream.size()) != Z_OK ||
        size != rows.size()) {
        throw std::runtime_error("the stored rows do not unpack");
    }
    return rows;
}

// zlib at `level` with the filtered-data strategy; returns the stream's size.
size_t zlibFiltered(const std::vector<uint8_t>& rows, int level, std::vector<uint8_t>& out) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, 15, 8, Z_FILTERED) != Z_OK) {
        throw std::runtime_error("deflateInit2 failed");
    }
    out.resize(deflateBound(&z, rows.size()));
    z.next_in = const_cast<Bytef*>(rows.data());
    z.avail_in = static_cast<uInt>(rows.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, Z_FINISH);
    const size_t size = z.total_out;
    deflateEnd(&z);
    if (status != Z_STREAM_END) {
        throw std::runtime_error("deflate failed");
    }
    return size;
}

void study(const fs::path& image, const fs::path& folder) {
    const Bgr bgr = bench::loadPng(image);
    const fs::path bmp = folder / "kcPic.bmp", ours = folder / "kcPic.png",
                   theirs = folder / "libpng.png";
    bench::writeBmp(bgr, bmp);
    const int rounds = size_t{bgr.width} * bgr.height > 1000000 ? 3 : 9;
    const auto medianOf = [&](const std::function<bool()>& work) {
        work();  // warm up
        std::vector<double> times;
        for (int round = 0; round < rounds; ++round) {
            times.push_back(bench::millisecondsOf(work));
        }
        return bench::median(times);
    };

    const double libpngMs = medianOf([&] { return bench::libpngConvert(bmp, theirs); });
    const double libpngSize = double(fs::file_size(theirs));
    std::printf("%s, %ux%u: libpng level 6 %.2f ms, %.0f B\n", image.filename().c_str(), bgr.width,
                bgr.height, libpngMs, libpngSize);
    std::printf("  %-44s %8s %8s\n", "", "time", "size");
    for (int level = 6; level <= 12; ++level) {
        char options[8], label[64];
        std::snprintf(options, sizeof options, "c%d", level);
        std::snprintf(label, sizeof label, "BmpToPng \"%s\" (libdeflate level %d)", options, level);
        const double ms =
            medianOf([&] { return BmpToPng(bmp.c_str(), ours.c_str(), options) == 0; });
        std::printf("  %-44s %7.3fx %7.3fx\n", label, ms / libpngMs,
                    double(fs::file_size(ours)) / libpngSize);
    }
    // The same rows through zlib: the PNG would be ours with zlib's stream in place of ours.
    const std::vector<uint8_t> rows = filteredRows(bmp, ours, bgr);
    if (BmpToPng(bmp.c_str(), ours.c_str(), "c6") != 0) {
        throw std::runtime_error("BmpToPng c6 failed");
    }
    const double oursC6 = double(fs::file_size(ours));
    const double streamC6 = double(idat(bench::readFile(ours)).size());
    std::vector<uint8_t> out;
    size_t zlibSize = 0;
    const double zlibMs = medianOf([&] {
        zlibSize = zlibFiltered(rows, 6, out);
        return true;
    });
    std::printf("  %-44s %7.3fx %7.3fx\n", "zlib level 6, filtered strategy: deflate alone",
                zlibMs / libpngMs, (oursC6 - streamC6 + double(zlibSize)) / libpngSize);
}

}  // namespace

int main() {
    return bench::inTemporaryFolder("bench-levels", [](const fs::path& folder) {
        std::vector<fs::path> images;
        for (const auto& entry : fs::directory_iterator(KORONCAM_BENCH_IMAGES)) {
            const std::string name = entry.path().filename().string();
            if (name.ends_with(".png") && (name.starts_with("crop_") || name.starts_with("fhd_"))) {
                images.push_back(entry.path());
            }
        }
        std::sort(images.begin(), images.end());
        std::printf("Deflate settings against libpng level 6 (median processor time; ratios)\n\n");
        for (const fs::path& image : images) {
            study(image, folder);
        }
        return 0;
    });
}
