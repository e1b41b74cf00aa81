// What skipping a picture equal to the last one costs a tick: comparing the stored corner
// (386 x 300) of two equal captures, every pixel read, against storing that picture as a BMP
// file, both measured here. Medians of 30 rounds.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
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
    const QImage next = last.copy();  // equal, but not the same memory
    bool same = true;
    const double compareMs = medianMs(200, [&] { same = same && app::sameStoredPixels(last, next); });
    if (!same) {
        std::fprintf(stderr, "equal pictures compared unequal\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString bmp = dir.path() + "/kcPicbench.bmp";
    const double storeMs = medianMs(1, [&] { app::saveBmp(next, bmp); });

    const double ratio = compareMs / storeMs;
    const bool ratioHolds = ratio <= kRatioBar;
    const bool absoluteHolds = compareMs < kAbsoluteBarMs;
    std::printf("skipping a picture equal to the last, %d x %d, medians of %d rounds:\n",
                platform::kPictureWidth, platform::kPictureHeight, kRounds);
    std::printf("  comparison (all pixels equal)  %8.4f ms\n", compareMs);
    std::printf("  BMP written                    %8.4f ms\n", storeMs);
    std::printf("SUMMARY|skipsame comparison 386x300, all pixels equal|%.4f ms|BMP written|"
                "%.3f ms|%.4fx|<= %.1fx|%s\n",
                compareMs, storeMs, ratio, kRatioBar, ratioHolds ? "PASS" : "FAIL");
    std::printf("SUMMARY|skipsame comparison 386x300, absolute|%.4f ms|-|-|-|< %.1f ms|%s\n",
                compareMs, kAbsoluteBarMs, absoluteHolds ? "PASS" : "FAIL");
    return ratioHolds && absoluteHolds ? 0 : 1;
}
