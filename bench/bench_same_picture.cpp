// What skipping a picture equal to the last one costs a tick: comparing the stored corner
// (386 x 300) of two equal captures, every pixel read, against storing that picture as a BMP
// file, both measured here. Medians of 30 rounds. Bars: at most a tenth of the store, and under
// 0.1 ms.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>
#include <vector>
#include <QTemporaryDir>

#include "app/BmpFile.h"
#include "app/SameAsLast.h"
#include "platform/Screen.h"

namespace {

constexpr int kRounds = 30;
constexpr double kAbsoluteBarMs = 0.1;
constexpr double kRatioBar = 0.1;

double medianMs(int repeats, const std::function<void()>& step) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        for (int r = 0; r < repeats; ++r) {
            step();
        }
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count() /
            repeats);
    }
    std::nth_element(times.begin(), times.begin() + kRounds / 2, times.end());
    return times[kRounds / 2];
}

// A capture with detail in every row, as a desktop gives, so nothing is cheaper than real.
QImage capture() {
    QImage image(platform::kPictureWidth, platform::kPictureHeight, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            image.setPixel(x, y, qRgb(x * 7 + y, y * 3, x ^ y));
        }
    }
    return image;
}

}  // namespace

int main() {
    const QImage last = capture();
    // Equal, but not the same memory: once byte for byte, once with other unused fourth bytes
    // (a stream's padding), which the comparison must look past pixel by pixel.
    const QImage sameBytes = last.copy();
    QImage samePixels = last.copy();
    for (int y = 0; y < samePixels.height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(samePixels.scanLine(y));
        std::transform(row, row + samePixels.width(), row,
                       [](uint32_t p) { return p & 0xffffffu; });
    }
    bool same = true;
    const double bytesMs =
        medianMs(200, [&] { same = same && app::sameStoredPixels(last, sameBytes); });
    const double pixelsMs =
        medianMs(200, [&] { same = same && app::sameStoredPixels(last, samePixels); });
    if (!same) {
        std::fprintf(stderr, "equal pictures compared unequal\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString bmp = dir.path() + "/kcPicbench.bmp";
    const double storeMs = medianMs(1, [&] { app::saveBmp(sameBytes, bmp); });

    std::printf("skipping a picture equal to the last, %d x %d, medians of %d rounds:\n",
                platform::kPictureWidth, platform::kPictureHeight, kRounds);
    std::printf("  BMP written                          %8.4f ms\n", storeMs);
    bool pass = true;
    for (const auto& [what, ms] : {std::pair{"equal bytes", bytesMs},
                                   std::pair{"equal pixels, other fourth bytes", pixelsMs}}) {
        const double ratio = ms / storeMs;
        const bool holds = ratio <= kRatioBar && ms < kAbsoluteBarMs;
        pass = pass && holds;
        std::printf("  comparison, %-32s %8.4f ms\n", what, ms);
        std::printf(
            "SUMMARY|skipsame comparison 386x300, %s|%.4f ms|BMP written|%.3f ms|%.4fx|"
            "<= %.1fx, < %.1f ms|%s\n",
            what, ms, storeMs, ratio, kRatioBar, kAbsoluteBarMs, holds ? "PASS" : "FAIL");
    }
    return pass ? 0 : 1;
}
