// What the ScreenCast stream costs on a desktop whose screen keeps changing: a window at the
// screen's top-left repaints 30 times a second in a colour that encodes the time, while the
// program takes a picture a second as it does when shooting. It reports the frames the desktop
// delivers per second, how late the pictures are (the time a picture was taken less the time its
// colour shows), and the CPU per second of the compositor, PipeWire, the portal and the program.
// Runs inside a test desktop only (KORONCAM_BENCH_PORTAL=1, as bench_portal), where the stream
// opens without a dialog (KORONCAM_BENCH_PORTAL_TOKEN).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <set>
#include <string>
#include <vector>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QTimer>
#include <QWidget>
#include <unistd.h>

#include "platform/wayland/WaylandScreen.h"

namespace {

constexpr int kAnimationFps = 30;
constexpr int kPictures = 20;         // one a second, as when shooting
constexpr int kCountingMs = 6000;     // frames counted by looking every 10 ms
constexpr double kFrameBar = 5.0;     // frames a second at most
constexpr double kLatenessBar = 300;  // ms, median

// The wall clock in milliseconds, 24 bits of it: what one colour can say.
unsigned clockCode() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return unsigned((std::int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000) & 0xffffff);
}

// How many ms ago the colour `rgb` was painted.
int ageOf(QRgb rgb) {
    const unsigned shown = rgb & 0xffffff;
    return int((clockCode() - shown) & 0xffffff);
}

// The animation: an X11 window without a frame at (0, 0) under the desktop's Xwayland.
class Clock : public QWidget {
public:
    Clock() {
        setWindowFlags(Qt::Window | Qt::BypassWindowManagerHint | Qt::FramelessWindowHint);
        setGeometry(0, 0, 400, 320);
        connect(&timer_, &QTimer::timeout, this, [this] { update(); });
        timer_.start(1000 / kAnimationFps);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter(this).fillRect(rect(), QColor::fromRgb(0xff000000u | clockCode()));
    }

private:
    QTimer timer_;
};

int animate(int argc, char** argv) {
    QApplication app(argc, argv);
    Clock clock;
    clock.show();
    return app.exec();
}

// CPU seconds so far of the processes of this desktop session, by what they are.
std::map<std::string, double> cpuByRole() {
    const QByteArray bus = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    const double tick = double(sysconf(_SC_CLK_TCK));
    std::map<std::string, double> seconds;
    for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        if (pid.toInt() <= 0) {
            continue;
        }
        QFile environ(QStringLiteral("/proc/%1/environ").arg(pid));
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!environ.open(QIODevice::ReadOnly) || !stat.open(QIODevice::ReadOnly)) {
            continue;
        }
        const bool self = pid.toInt() == getpid();
        if (!self && !environ.readAll().split('\0').contains("DBUS_SESSION_BUS_ADDRESS=" + bus)) {
            continue;
        }
        const QByteArray line = stat.readAll();
        const int open = line.indexOf('(');
        const int close = line.lastIndexOf(')');
        const QByteArray name = line.mid(open + 1, close - open - 1);
        const QList<QByteArray> fields = line.mid(close + 2).split(' ');
        if (fields.size() < 13) {
            continue;
        }
        // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
        const double used = (fields[11].toDouble() + fields[12].toDouble()) / tick;
        std::string role;
        if (self) {
            role = "program";
        } else if (name == "mutter" || name == "sway") {
            role = "compositor";
        } else if (name == "pipewire" || name == "wireplumber") {
            role = "PipeWire";
        } else if (name.startsWith("xdg-desktop-por")) {
            role = "portal";
        } else {
            continue;
        }
        seconds[role] += used;
    }
    return seconds;
}

void wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

void skip(const char* why) {
    std::printf("bench_screencast: skipped: %s\n", why);
    std::printf("SUMMARY|ScreenCast frames a second, screen at %d fps|- (%s)|-|-|-|-|-\n",
                kAnimationFps, why);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--animate") {
        return animate(argc, argv);
    }
    const char* allowed = std::getenv("KORONCAM_BENCH_PORTAL");
    if (allowed == nullptr || std::string(allowed) != "1") {
        skip("no test desktop (KORONCAM_BENCH_PORTAL=1 not set)");
        return 0;
    }
    QCoreApplication app(argc, argv);
    QProcess animation;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    animation.setProcessEnvironment(environment);
    animation.setProcessChannelMode(QProcess::ForwardedChannels);
    animation.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--animate")});
    if (!animation.waitForStarted(5000)) {
        skip("the animation did not start");
        return 0;
    }
    wait(1000);

    auto screen = platform::wayland::WaylandScreen::forSession();
    auto& wayland = static_cast<platform::wayland::WaylandScreen&>(*screen);
    bool opened = false;
    QEventLoop loop;
    screen->openCapture(qEnvironmentVariable("KORONCAM_BENCH_PORTAL_TOKEN"),
                        [&](const platform::CaptureOpened& answer) {
                            opened = answer.ok;
                            loop.quit();
                        });
    loop.exec();
    if (!opened || wayland.mode() != platform::wayland::CaptureMode::ScreenCast) {
        animation.kill();
        animation.waitForFinished();
        skip("no ScreenCast stream here");
        return 0;
    }
    wait(1000);

    // Shooting: a picture a second, the CPU of everyone meanwhile.
    std::vector<int> lateness;
    const auto cpuBefore = cpuByRole();
    QElapsedTimer shooting;
    shooting.start();
    for (int i = 0; i < kPictures; ++i) {
        wait(1000);
        if (screen->pressPrintScreen()) {
            lateness.push_back(ageOf(screen->clipboardPicture().pixel(10, 10)));
        }
    }
    const double seconds = double(shooting.elapsed()) / 1000;
    const auto cpuAfter = cpuByRole();

    // Frames: each new colour seen, looking more often than the animation changes.
    std::set<QRgb> seen;
    QElapsedTimer counting;
    counting.start();
    while (counting.elapsed() < kCountingMs) {
        if (screen->pressPrintScreen()) {
            seen.insert(screen->clipboardPicture().pixel(10, 10));
        }
        wait(10);
    }
    const double framesPerSecond = double(seen.size()) / (double(counting.elapsed()) / 1000);
    screen->closeCapture();
    animation.kill();
    animation.waitForFinished();
    if (lateness.size() < kPictures / 2) {
        skip("most pictures failed");
        return 0;
    }

    std::sort(lateness.begin(), lateness.end());
    const int median = lateness[lateness.size() / 2];
    const int worst = lateness.back();
    std::printf("%zu pictures, lateness median %d ms, worst %d ms; %.1f frames a second seen\n",
                lateness.size(), median, worst, framesPerSecond);
    for (const char* role : {"compositor", "PipeWire", "portal", "program"}) {
        const double used = (cpuAfter.count(role) ? cpuAfter.at(role) : 0) -
                            (cpuBefore.count(role) ? cpuBefore.at(role) : 0);
        std::printf("SUMMARY|ScreenCast CPU a second while shooting: %s|%.1f ms|-|-|-|-|-\n", role,
                    used / seconds * 1000);
    }
    std::printf(
        "SUMMARY|ScreenCast frames a second, screen at %d fps|%.1f|screen's frames|%d|"
        "%.2fx|<= %.0f/s|%s\n",
        kAnimationFps, framesPerSecond, kAnimationFps, framesPerSecond / kAnimationFps, kFrameBar,
        framesPerSecond <= kFrameBar ? "ok" : "FAIL");
    std::printf(
        "SUMMARY|ScreenCast picture lateness, median (worst %d ms)|%d ms|a frame's time|"
        "%d ms|%.1fx|<= %.0f ms|%s\n",
        worst, median, 1000 / kAnimationFps, double(median) * kAnimationFps / 1000, kLatenessBar,
        median <= kLatenessBar ? "ok" : "FAIL");
    return 0;
}
