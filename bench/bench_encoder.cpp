// The PNG encoder against libpng: for each benchmark image, the median processor time of
// BmpToPng(..., "c6") and of libpng at level 6 with its default filters, each reading the same BMP
// file and writing a PNG file, and the sizes of the two PNGs. Bars: on every image time at most
// 0.40x and size at most 1.00x; the median size of the 386x300 crops (crop_*, what the program
// stores) at most 0.85x; the total bytes of the screens that are not composed at most 0.95x.
// Exits with 1 when a bar is missed, with 2 when it cannot run.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "BenchPictures.h"
#include "EncoderBaseline.h"
#include "pngsaver.h"

namespace fs = std::filesystem;

namespace {

using bench::Bgr;
using bench::median;

constexpr double kTimeBar = 0.40;
constexpr double kSizeBar = 1.00;
constexpr double kCropMedianBar = 0.85;
constexpr double kScreenTotalBar = 0.95;

struct Result {
    std::string name;
    double oursMs = 0, theirsMs = 0;
    uintmax_t oursBytes = 0, theirsBytes = 0;
    bool samePixels = false;
    double timeRatio() const { return oursMs / theirsMs; }
    double sizeRatio() const { return double(oursBytes) / double(theirsBytes); }
};

// Converts one image both ways, in interleaved rounds so that drift hits both.
Result measure(const fs::path& image, const fs::path& folder) {
    const Bgr bgr = bench::loadPng(image);
    const fs::path bmp = folder / "kcPic.bmp", ours = folder / "kcPic.png",
                   theirs = folder / "libpng.png";
    bench::writeBmp(bgr, bmp);
    const auto runOurs = [&] { return BmpToPng(bmp.c_str(), ours.c_str(), "c6") == 0; };
    const auto runTheirs = [&] { return bench::libpngConvert(bmp, theirs); };
    const int rounds = size_t{bgr.width} * bgr.height > 1000000 ? 15 : 41;
    bench::millisecondsOf(runOurs);  // warm the caches and the page cache
    bench::millisecondsOf(runTheirs);
    std::vector<double> oursMs, theirsMs;
    for (int round = 0; round < rounds; ++round) {
        oursMs.push_back(bench::millisecondsOf(runOurs));
        theirsMs.push_back(bench::millisecondsOf(runTheirs));
    }
    // A fast encoder is worth nothing if its pictures are wrong.
    return {image.filename().string(), median(oursMs),
            median(theirsMs),          fs::file_size(ours),
            fs::file_size(theirs),     bench::loadPng(ours).pixels == bgr.pixels};
}

const char* verdict(bool holds) {
    return holds ? "PASS" : "FAIL";
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
    std::printf("%-22s %10s %10s %7s %7s  %s\n", "image", "ours ms", "libpng ms", "time", "size",
                "result");
    bool allPass = true;
    std::vector<double> cropRatios;
    uintmax_t screenOurs = 0, screenTheirs = 0;
    for (const fs::path& image : images) {
        const Result r = measure(image, folder);
        const bool fastEnough = r.timeRatio() <= kTimeBar, smallEnough = r.sizeRatio() <= kSizeBar;
        allPass = allPass && r.samePixels && fastEnough && smallEnough;
        std::printf("%-22s %10.2f %10.2f %6.3fx %6.3fx  %s%s\n", r.name.c_str(), r.oursMs,
                    r.theirsMs, r.timeRatio(), r.sizeRatio(),
                    verdict(r.samePixels && fastEnough && smallEnough),
                    r.samePixels ? "" : " (pixels differ)");
        // One line each for the report of all benchmarks; wrong pixels fail both.
        std::printf(
            "SUMMARY|BmpToPng c6 time, %s|%.2f ms|libpng level 6|%.2f ms|%.3fx|<= %.2fx|%s\n",
            r.name.c_str(), r.oursMs, r.theirsMs, r.timeRatio(), kTimeBar,
            verdict(r.samePixels && fastEnough));
        std::printf("SUMMARY|BmpToPng c6 size, %s|%ju B|libpng level 6|%ju B|%.3fx|<= %.2fx|%s\n",
                    r.name.c_str(), r.oursBytes, r.theirsBytes, r.sizeRatio(), kSizeBar,
                    verdict(r.samePixels && smallEnough));
        if (r.name.starts_with("crop_")) {
            cropRatios.push_back(r.sizeRatio());
        }
        if (!r.name.starts_with("composed_")) {
            screenOurs += r.oursBytes;
            screenTheirs += r.theirsBytes;
        }
    }

    std::printf("\n");
    if (!cropRatios.empty()) {
        const double cropMedian = median(cropRatios);
        allPass = allPass && cropMedian <= kCropMedianBar;
        std::printf("median size of the %zu crops: %.3fx (bar <= %.2fx)\n", cropRatios.size(),
                    cropMedian, kCropMedianBar);
        std::printf(
            "SUMMARY|BmpToPng c6 size, median of %zu crops|%.3fx|libpng level 6|1x|%.3fx|"
            "<= %.2fx|%s\n",
            cropRatios.size(), cropMedian, cropMedian, kCropMedianBar,
            verdict(cropMedian <= kCropMedianBar));
    }
    if (screenTheirs > 0) {
        const double total = double(screenOurs) / double(screenTheirs);
        allPass = allPass && total <= kScreenTotalBar;
        std::printf("total size of the screens not composed: %.3fx (bar <= %.2fx)\n", total,
                    kScreenTotalBar);
        std::printf(
            "SUMMARY|BmpToPng c6 size, screens not composed, total|%ju B|libpng level 6|"
            "%ju B|%.3fx|<= %.2fx|%s\n",
            screenOurs, screenTheirs, total, kScreenTotalBar, verdict(total <= kScreenTotalBar));
    }
    std::printf("bars on every image: time <= %.2fx, size <= %.2fx\n", kTimeBar, kSizeBar);
    return allPass;
}

}  // namespace

int main() {
    return bench::inTemporaryFolder("bench-encoder",
                                    [](const fs::path& folder) { return runAll(folder) ? 0 : 1; });
}
