// The cost of one picture through the desktop portal on a Wayland desktop, as the program takes
// it: pressPrintScreen on the Screenshot path (one portal call, the PNG read and removed) or on
// the ScreenCast path (the newest frame copied), whichever the desktop serves; beside it the bare
// copy of a 1920 x 1080 frame measured in the same run. It asks the portal of the session bus,
// so it runs only when KORONCAM_BENCH_PORTAL=1 says that bus belongs to a test desktop (a real
// desktop would show its dialog); KORONCAM_BENCH_PORTAL_TOKEN gives a seeded restore token.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include "platform/wayland/FramePixels.h"
#include "platform/wayland/WaylandScreen.h"

namespace {

using platform::wayland::CaptureMode;

constexpr int kCalls = 15;

template <class F>
double medianMs(int runs, F&& run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        if (!run()) {
            return -1;
        }
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

double frameCopyMs() {
    std::vector<unsigned char> frame(1920u * 1080u * 4u, 0x5a);
    const platform::wayland::FrameView view{platform::wayland::RawFormat::BGRx, 1920, 1080,
                                            1920 * 4, frame.data()};
    return medianMs(51, [&] { return !platform::wayland::toImage(view).isNull(); });
}

void skip(const char* why) {
    std::printf("bench_portal: skipped: %s\n", why);
    std::printf("SUMMARY|picture through the desktop portal|- (%s)|frame copy 1920 x 1080|-|-|-|-\n",
                why);
}

}  // namespace

int main(int argc, char** argv) {
    const char* allowed = std::getenv("KORONCAM_BENCH_PORTAL");
    if (allowed == nullptr || std::string(allowed) != "1") {
        skip("no test desktop (KORONCAM_BENCH_PORTAL=1 not set)");
        return 0;
    }
    QCoreApplication app(argc, argv);
    auto screen = platform::wayland::WaylandScreen::forSession();
    auto& wayland = static_cast<platform::wayland::WaylandScreen&>(*screen);
    QElapsedTimer opening;
    opening.start();
    bool ok = false;
    QString problem;
    QEventLoop loop;
    const QString token = qEnvironmentVariable("KORONCAM_BENCH_PORTAL_TOKEN");
    screen->openCapture(token, [&](const platform::CaptureOpened& opened) {
        ok = opened.ok;
        problem = opened.problem;
        loop.quit();
    });
    loop.exec();
    const double openMs = double(opening.nsecsElapsed()) / 1e6;
    if (!ok) {
        std::printf("%s\n", problem.toLocal8Bit().constData());
        skip("the portal serves no capture here");
        return 0;
    }
    const char* path = wayland.mode() == CaptureMode::ScreenCast ? "ScreenCast" : "Screenshot";
    std::printf("opened the %s path in %.1f ms\n", path, openMs);
    const double pictureMs = medianMs(kCalls, [&] { return screen->pressPrintScreen(); });
    const QSize size = screen->clipboardPicture().size();
    screen->closeCapture();
    if (pictureMs < 0) {
        skip("a picture failed");
        return 0;
    }
    const double copyMs = frameCopyMs();
    std::printf("median of %d pictures: %.3f ms (%d x %d); frame copy: %.3f ms\n", kCalls,
                pictureMs, size.width(), size.height(), copyMs);
    std::printf("SUMMARY|picture %d x %d, %s portal path|%.3f ms|frame copy 1920 x 1080|%.3f ms|"
                "%.1fx|-|-\n",
                size.width(), size.height(), path, pictureMs, copyMs, pictureMs / copyMs);
    return 0;
}
