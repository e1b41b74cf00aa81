// The cost of one capture: MIT-SHM and the plain XGetImage request of the corner a picture keeps
// (what pressPrintScreen reads), Qt's own QScreen::grabWindow of the whole screen, and the copy of
// a ScreenCast frame of the corner's size (what pressPrintScreen does on a Wayland desktop, the
// stream itself runs on). Medians of repeated runs, with ratios against XGetImage measured in the
// same run. Run it under an X server of the wanted size (Xvfb :N -screen 0 1920x1080x24).
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>
#include <unistd.h>
#include <benchmark/benchmark.h>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include "platform/wayland/FramePixels.h"
#include "platform/x11/X11Backend.h"
#include "platform/x11/X11Pixels.h"

namespace {

using platform::x11::CaptureMethod;
using platform::x11::X11Screen;

std::unique_ptr<X11Screen> sharedScreen;
std::unique_ptr<X11Screen> plainScreen;
QSize rootSize;

void capture(benchmark::State& state, X11Screen& screen, CaptureMethod method) {
    for (auto _ : state) {
        if (!screen.pressPrintScreen()) {
            state.SkipWithError("the capture failed");
            return;
        }
        benchmark::DoNotOptimize(screen.clipboardPicture().constBits());
    }
    if (screen.lastCaptureMethod() != method) {
        state.SkipWithError("the backend fell back to another method");
    }
}

void BM_XGetImage(benchmark::State& state) {
    capture(state, *plainScreen, CaptureMethod::GetImage);
}

void BM_SharedMemory(benchmark::State& state) {
    capture(state, *sharedScreen, CaptureMethod::SharedMemory);
}

void BM_QtGrabWindow(benchmark::State& state) {
    QScreen* screen = QGuiApplication::primaryScreen();
    for (auto _ : state) {
        const QImage image = screen->grabWindow(0).toImage();
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The copy into a QImage alone, which both X captures include.
void BM_PixelCopy(benchmark::State& state) {
    const int width = rootSize.width();
    const int height = rootSize.height();
    const std::vector<unsigned char> pixels(std::size_t(width) * std::size_t(height) * 4, 0x55);
    const platform::x11::PixelLayout layout{width, height,   width * 4, 32,
                                            false, 0xff0000, 0xff00,    0xff};
    for (auto _ : state) {
        const QImage image = platform::x11::toImage(layout, pixels.data());
        benchmark::DoNotOptimize(image.constBits());
    }
}

// A ScreenCast picture: the newest BGRx frame, as PipeWire maps it (stride 7680 at 1920 x 1080),
// copied out into the picture slot.
void BM_ScreenCastFrameCopy(benchmark::State& state) {
    const int width = rootSize.width();
    const int height = rootSize.height();
    std::vector<unsigned char> frame(std::size_t(width) * std::size_t(height) * 4);
    for (std::size_t i = 0; i < frame.size(); ++i) {
        frame[i] = static_cast<unsigned char>(i * 7);
    }
    const platform::wayland::FrameView view{platform::wayland::RawFormat::BGRx, width, height,
                                            width * 4, frame.data()};
    for (auto _ : state) {
        const QImage image = platform::wayland::toImage(view);
        benchmark::DoNotOptimize(image.constBits());
    }
}

// The X server works in its own process: wall time is the cost.
void configure(benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(9)->ReportAggregatesOnly(true);
}

BENCHMARK(BM_XGetImage)->Apply(configure);
BENCHMARK(BM_SharedMemory)->Apply(configure);
BENCHMARK(BM_QtGrabWindow)->Apply(configure);
BENCHMARK(BM_PixelCopy)->Apply(configure);
BENCHMARK(BM_ScreenCastFrameCopy)->Apply(configure);

// Prints as usual and keeps each benchmark's median for the ratios.
class MedianReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> medians;  // milliseconds

    // Colours only on a terminal, as the library's own reporter does.
    MedianReporter() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median" &&
                !run.error_occurred) {
                medians[run.run_name.function_name] = run.GetAdjustedRealTime();
            }
        }
    }
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    sharedScreen = X11Screen::open({});
    plainScreen = X11Screen::open({}, CaptureMethod::GetImage);
    if (!sharedScreen || !plainScreen || !plainScreen->pressPrintScreen()) {
        std::printf(
            "bench_capture: skipped: no X display to capture (DISPLAY unset or not "
            "reachable)\n");
        return 0;
    }
    rootSize = plainScreen->clipboardPicture().size();  // the corner a picture keeps
    setenv("QT_QPA_PLATFORM", "xcb", 1);  // Qt's grab is measured on the same X server
    QGuiApplication app(argc, argv);
    std::printf("corner %d x %d (Qt's grab takes the whole screen)\n", rootSize.width(),
                rootSize.height());

    MedianReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto baseline = reporter.medians.find("BM_XGetImage");
    if (baseline == reporter.medians.end() || baseline->second <= 0) {
        std::printf("no XGetImage median: no ratios\n");
        return 0;
    }
    std::printf("\nmedian per capture, and its ratio to XGetImage:\n");
    for (const auto& [name, median] : reporter.medians) {
        std::printf("  %-16s %8.3f ms  %6.3f x\n", name.c_str(), median, median / baseline->second);
        if (name != "BM_XGetImage") {
            std::printf("SUMMARY|capture of %d x %d, %s|%.3f ms|XGetImage|%.3f ms|%.3fx|-|-\n",
                        rootSize.width(), rootSize.height(), name.c_str() + 3, median,
                        baseline->second, median / baseline->second);
        }
    }
    return 0;
}
