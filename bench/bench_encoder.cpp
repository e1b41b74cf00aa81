// The PNG encoder against libpng: for each benchmark image, the median processor time of
// BmpToPng(..., "c6") and of libpng at level 6 with its default filters, each reading the same BMP
// file and writing a PNG file, and the sizes of the two PNGs. Prints the ratios per image; exits
// with 1 when a bar is missed on the screen images (crop_*, fhd_*): time at most 0.40x and size at
// most 1.00x; with 2 when it cannot run.
#include <algorithm>
#include <csetjmp>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <png.h>

#include "BenchPictures.h"
#include "EncoderBaseline.h"
#include "pngsaver.h"

namespace fs = std::filesystem;

namespace {

using bench::Bgr;
using bench::libpngConvert;
using bench::loadPng;
using bench::median;
using bench::millisecondsOf;
using bench::writeBmp;

constexpr double kTimeBar = 0.40;
constexpr double kSizeBar = 1.00;

bool hasBar(const std::string& name) {
    return name.starts_with("crop_") || name.starts_with("fhd_");
}

// Runs every image; returns whether every bar held.
bool runAll(const fs::path& folder) {
    std::vector<fs::path> images;
    for (const auto& entry : fs::directory_iterator(KORONCAM_BENCH_IMAGES)) {
        if (entry.path().extension() == ".png") {
            images.push_back(entry.path());
        }
    }
    std::sort(images.begin(), images.end());
    if (images.empty()) {
        throw std::runtime_error("no images in " KORONCAM_BENCH_IMAGES);
    }

    std::printf(
        "BmpToPng \"c6\" against libpng level 6, default filters (median processor time of "
        "rounds)\n\n");
    std::printf("%-16s %10s %6s %10s %10s %7s %7s  %s\n", "image", "size", "rounds", "ours ms",
                "libpng ms", "time", "size", "result");
    bool allPass = true;
    for (const fs::path& image : images) {
        const std::string name = image.filename().string();
        const Bgr bgr = loadPng(image);
        const fs::path bmp = folder / "kcPic.bmp";
        const fs::path ours = folder / "kcPic.png";
        const fs::path theirs = folder / "libpng.png";
        writeBmp(bgr, bmp);

        const auto runOurs = [&] { return BmpToPng(bmp.c_str(), ours.c_str(), "c6") == 0; };
        const auto runTheirs = [&] { return libpngConvert(bmp, theirs); };
        const bool large = size_t{bgr.width} * bgr.height > 1000000;
        const int rounds = large ? 15 : 41;
        millisecondsOf(runOurs);  // warm the caches and the page cache
        millisecondsOf(runTheirs);
        std::vector<double> oursMs, theirsMs;
        for (int round = 0; round < rounds; ++round) {  // interleaved, so drift hits both
            oursMs.push_back(millisecondsOf(runOurs));
            theirsMs.push_back(millisecondsOf(runTheirs));
        }

        const double timeRatio = median(oursMs) / median(theirsMs);
        const double sizeRatio = double(fs::file_size(ours)) / double(fs::file_size(theirs));
        // A fast encoder is worth nothing if its pictures are wrong.
        const Bgr decoded = loadPng(ours);
        const bool same = decoded.pixels == bgr.pixels;
        std::string result = "-";
        if (!same) {
            result = "FAIL (pixels differ)";
        } else if (hasBar(name)) {
            const bool fastEnough = timeRatio <= kTimeBar, smallEnough = sizeRatio <= kSizeBar;
            result = fastEnough && smallEnough ? "PASS"
                     : fastEnough              ? "FAIL (size)"
                     : smallEnough             ? "FAIL (time)"
                                               : "FAIL (time, size)";
        }
        allPass = allPass && same && (!hasBar(name) || result == "PASS");
        const std::string size = std::to_string(bgr.width) + "x" + std::to_string(bgr.height);
        std::printf("%-16s %10s %6d %10.2f %10.2f %6.3fx %6.3fx  %s\n", name.c_str(), size.c_str(),
                    rounds, median(oursMs), median(theirsMs), timeRatio, sizeRatio, result.c_str());
        // One line each for the report of all benchmarks.
        const char* verdict = !same ? "FAIL" : !hasBar(name) ? "-" : "";
        std::printf(
            "SUMMARY|BmpToPng c6 time, %s|%.2f ms|libpng level 6|%.2f ms|%.3fx|<= %.2fx|%s\n",
            name.c_str(), median(oursMs), median(theirsMs), timeRatio, kTimeBar,
            *verdict ? verdict : (timeRatio <= kTimeBar ? "PASS" : "FAIL"));
        std::printf("SUMMARY|BmpToPng c6 size, %s|%ju B|libpng level 6|%ju B|%.3fx|<= %.2fx|%s\n",
                    name.c_str(), std::uintmax_t(fs::file_size(ours)),
                    std::uintmax_t(fs::file_size(theirs)), sizeRatio, kSizeBar,
                    *verdict ? verdict : (sizeRatio <= kSizeBar ? "PASS" : "FAIL"));
    }
    std::printf("\nbars on crop_* and fhd_*: time <= %.2fx, size <= %.2fx\n", kTimeBar, kSizeBar);
    return allPass;
}

}  // namespace

int main() {
    return bench::inTemporaryFolder("bench-encoder",
                                    [](const fs::path& folder) { return runAll(folder) ? 0 : 1; });
}
