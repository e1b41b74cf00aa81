// The whole program shooting, as a user runs it: the built KoronCam under a private 1920 x 1080 X
// server whose root window shows a real screen picture, storing BMP and storing PNG at once, taking
// turns with ffmpeg's x11grab storing the same corner as PNG once a second, all in this one run.
// The figure is the CPU time per picture of the program and of the X server, read from /proc
// (schedstat: nanoseconds on a CPU, user and system, summed over the threads) between the first
// picture stored and the last, in three rounds; each case counts with its round of the median
// total. Needs Xvfb, xdotool and ffmpeg (tools/deps.sh bench).
// A fourth case, the floor, is what any X11 capture of the corner pays: a process that only asks
// the server for the corner through MIT-SHM once a second (this program, run with --grab-only),
// converting and storing nothing. Where the floor itself is above a bar, no program can meet it.
// With KORONCAM_BENCH_PERF=FOLDER, each case of the program is also recorded there by perf
// (perf record -g; the last round stays), for `perf report -i FOLDER/bmp.data`; its figures then
// carry perf's cost. With KORONCAM_BENCH_CALLGRIND=FOLDER, one round runs with the program and
// ffmpeg under callgrind, which counts their instructions per picture (whatever else runs on the
// machine), the profile left in FOLDER for callgrind_annotate; the X server runs as usual.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// X11 last: its macros break Qt headers.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <sys/ipc.h>
#include <sys/shm.h>

namespace {

using namespace std::chrono_literals;

// The cases take turns, so that a change of the machine's load over the run falls on each alike.
constexpr int kRounds = 3;
// Per case and round, counted after the first picture, which starts the clock.
constexpr int kPictures = 20;
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;
constexpr double kBmpBar = 0.30;
constexpr double kPngBar = 0.45;
constexpr double kServerBarMs = 0.5;

// Nanoseconds that the process has run on a CPU, over all its threads.
double cpuNs(qint64 pid) {
    double total = 0;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString& task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile file(tasks.filePath(task) + QStringLiteral("/schedstat"));
        if (file.open(QIODevice::ReadOnly)) {
            total += file.readAll().split(' ').value(0).toDouble();
        }
    }
    return total;
}

bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

QString callgrindFolder() {
    return qEnvironmentVariable("KORONCAM_BENCH_CALLGRIND");
}

// Starts `program`, under callgrind when asked, its profile named after `name`.
void startProcess(QProcess& process, const QString& program, const QStringList& arguments,
                  const QString& name) {
    if (callgrindFolder().isEmpty()) {
        process.start(program, arguments);
        return;
    }
    process.start(
        QStringLiteral("valgrind"),
        QStringList{"--tool=callgrind", "-q", "--compress-strings=no", "--compress-pos=no",
                    "--callgrind-out-file=" + callgrindFolder() + '/' + name + ".out", program} +
            arguments);
}

// Under callgrind: zeroes the counts, or dumps them and gives the instructions counted.
void zeroInstructions(qint64 pid) {
    QProcess::execute(QStringLiteral("callgrind_control"), {"-z", QString::number(pid)});
}

double dumpInstructions(qint64 pid, const QString& name) {
    QProcess control;
    control.start(QStringLiteral("callgrind_control"), {"-d", QString::number(pid)});
    control.waitForFinished();
    const QDir folder(callgrindFolder());
    const QStringList dumps =
        folder.entryList({name + QStringLiteral(".out.*")}, QDir::Files, QDir::Time);
    QFile dump(folder.filePath(dumps.value(0)));
    if (!dump.open(QIODevice::ReadOnly)) {
        return 0;
    }
    for (QByteArray line = dump.readLine(); !line.isEmpty(); line = dump.readLine()) {
        if (line.startsWith("summary:") || line.startsWith("totals:")) {
            return line.split(' ').value(1).trimmed().toDouble();
        }
    }
    return 0;
}

// A private X server of the benchmark's own, its root window showing `background`.
class Server {
public:
    ~Server() {
        if (display_ != nullptr) {
            XCloseDisplay(display_);
        }
        process_.kill();
        process_.waitForFinished();
    }

    bool start(const QImage& background) {
        int first = 181;
        if (const char* wanted = std::getenv("KORONCAM_BENCH_DISPLAY")) {
            first = std::atoi(wanted);
        }
        for (int n = first; n < first + 40 && name_.isEmpty(); ++n) {
            if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) {
                name_ = QStringLiteral(":%1").arg(n);
            }
        }
        startProcess(
            process_, QStringLiteral("Xvfb"),
            {name_, "-screen", "0", QStringLiteral("%1x%2x24").arg(kScreenWidth).arg(kScreenHeight),
             "-nolisten", "tcp"},
            QStringLiteral("xserver"));
        if (!process_.waitForStarted()) {
            return false;
        }
        const QByteArray displayName = name_.toLatin1();
        waitFor([&] { return (display_ = XOpenDisplay(displayName.constData())) != nullptr; }, 10s);
        return display_ != nullptr && showBackground(background);
    }

    QString name() const { return name_; }
    qint64 pid() const { return process_.processId(); }

private:
    bool showBackground(const QImage& picture) {
        const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
        const Window root = DefaultRootWindow(display_);
        const int screen = DefaultScreen(display_);
        const Pixmap pixmap =
            XCreatePixmap(display_, root, unsigned(rgb.width()), unsigned(rgb.height()),
                          unsigned(DefaultDepth(display_, screen)));
        XImage* image = XCreateImage(
            display_, DefaultVisual(display_, screen), unsigned(DefaultDepth(display_, screen)),
            ZPixmap, 0, const_cast<char*>(reinterpret_cast<const char*>(rgb.constBits())),
            unsigned(rgb.width()), unsigned(rgb.height()), 32, int(rgb.bytesPerLine()));
        if (image == nullptr) {
            return false;
        }
        XPutImage(display_, pixmap, DefaultGC(display_, screen), image, 0, 0, 0, 0,
                  unsigned(rgb.width()), unsigned(rgb.height()));
        image->data = nullptr;  // Qt's memory
        XDestroyImage(image);
        XSetWindowBackgroundPixmap(display_, root, pixmap);
        XClearWindow(display_, root);
        XFreePixmap(display_, pixmap);
        XSync(display_, False);
        return true;
    }

    QProcess process_;
    QString name_;
    Display* display_ = nullptr;
};

struct PerPicture {
    double programMs = 0;
    double serverMs = 0;
    double programInstructions = 0;  // under callgrind
    double serverInstructions = 0;
    double total() const { return programMs + serverMs; }
};

// Waits until `count` gives `kPictures` more than after the first picture, and gives the CPU
// that `pid` and the X server spent meanwhile, per picture.
std::optional<PerPicture> measure(qint64 pid, const QString& name, const Server& server,
                                  const std::function<qsizetype()>& count) {
    if (!waitFor([&] { return count() >= 1; }, 300s)) {
        return std::nullopt;
    }
    const bool counting = !callgrindFolder().isEmpty();
    if (counting) {
        zeroInstructions(pid);
        zeroInstructions(server.pid());
    }
    const double program0 = cpuNs(pid);
    const double server0 = cpuNs(server.pid());
    const qsizetype first = count();
    if (!waitFor([&] { return count() >= first + kPictures; }, (kPictures * 3 + 30) * 1s)) {
        return std::nullopt;
    }
    PerPicture result;
    result.programMs = (cpuNs(pid) - program0) / 1e6 / kPictures;
    result.serverMs = (cpuNs(server.pid()) - server0) / 1e6 / kPictures;
    if (counting) {
        result.programInstructions = dumpInstructions(pid, name) / kPictures;
        result.serverInstructions =
            dumpInstructions(server.pid(), QStringLiteral("xserver")) / kPictures;
    }
    return result;
}

std::optional<PerPicture> measure(qint64 pid, const QString& name, const Server& server,
                                  const QString& folder, const QString& pattern) {
    const QDir dir(folder);
    return measure(pid, name, server, [&] { return dir.entryList({pattern}, QDir::Files).size(); });
}

QString run(const QString& program, const QStringList& arguments, const QString& display) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// The program copied with its library into a folder of its own, shooting into its picture folder.
std::optional<PerPicture> shootWithKoronCam(const Server& server, bool runpng) {
    QTemporaryDir dir;
    const QString build = QCoreApplication::applicationDirPath();
    for (const char* name : {"KoronCam", "libpngsaver.so", "Koro03.hlp"}) {
        QFile::copy(build + '/' + name, dir.path() + '/' + name);
    }
    const QString pictures = dir.path() + QStringLiteral("/bmp/");
    QDir().mkpath(pictures);
    QFile settings(dir.path() + QStringLiteral("/KoronCam.ini"));
    if (!settings.open(QIODevice::WriteOnly)) {
        return std::nullopt;
    }
    settings.write("[init]\nmaxpathsize=1000\npath=" + pictures.toUtf8() +
                   "\nkcactive=False\nstopiffull=True\nrunpng=" + (runpng ? "True" : "False") +
                   "\n");
    settings.close();

    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), server.name());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    program.setProcessEnvironment(environment);
    startProcess(program, dir.path() + QStringLiteral("/KoronCam"), {},
                 runpng ? QStringLiteral("png") : QStringLiteral("bmp"));
    if (!program.waitForStarted()) {
        return std::nullopt;
    }
    // Out of the corner, so that the pictures show the screen as ffmpeg's do; then the start key.
    const QString window =
        run(QStringLiteral("xdotool"),
            {"search", "--sync", "--onlyvisible", "--name", "ころんカメラ"}, server.name())
            .section('\n', 0, 0);
    run(QStringLiteral("xdotool"), {"windowmove", "--sync", window, "900", "500"}, server.name());
    run(QStringLiteral("xdotool"), {"windowfocus", "--sync", window}, server.name());
    run(QStringLiteral("xdotool"), {"key", "alt+s"}, server.name());
    QProcess perf;
    const QString perfFolder = qEnvironmentVariable("KORONCAM_BENCH_PERF");
    if (!perfFolder.isEmpty()) {
        perf.start(QStringLiteral("perf"),
                   {"record", "-g", "-q", "-p", QString::number(program.processId()), "-o",
                    perfFolder + (runpng ? "/png.data" : "/bmp.data")});
        perf.waitForStarted();
    }
    const auto result =
        measure(program.processId(), runpng ? QStringLiteral("png") : QStringLiteral("bmp"), server,
                pictures, runpng ? QStringLiteral("kcPic*.png") : QStringLiteral("kcPic*.bmp"));
    if (runpng &&
        !QDir(pictures).entryList({QStringLiteral("kcPic*.bmp")}, QDir::Files).isEmpty()) {
        std::printf("  BMP files were left beside the PNG files\n");
    }
    if (perf.state() != QProcess::NotRunning) {
        perf.terminate();  // perf writes its file on SIGTERM
        perf.waitForFinished();
    }
    program.kill();
    program.waitForFinished();
    return result;
}

// ffmpeg storing the same corner as a PNG file once a second.
std::optional<PerPicture> shootWithFfmpeg(const Server& server) {
    QTemporaryDir dir;
    QProcess ffmpeg;
    ffmpeg.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    startProcess(ffmpeg, QStringLiteral("ffmpeg"),
                 {"-nostdin", "-loglevel", "error", "-f", "x11grab", "-draw_mouse", "0",
                  "-framerate", "1", "-video_size", "386x300", "-i", server.name() + "+0,0",
                  "-frames:v", QString::number(kPictures + 10), dir.path() + "/f%04d.png"},
                 QStringLiteral("ffmpeg"));
    if (!ffmpeg.waitForStarted()) {
        return std::nullopt;
    }
    const auto result = measure(ffmpeg.processId(), QStringLiteral("ffmpeg"), server, dir.path(),
                                QStringLiteral("f*.png"));
    ffmpeg.kill();
    ffmpeg.waitForFinished();
    return result;
}

// The floor: this program run with --grab-only, which prints a line per corner read.
std::optional<PerPicture> shootCornerOnly(const Server& server) {
    QProcess grabber;
    startProcess(grabber, QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--grab-only"), server.name()}, QStringLiteral("floor"));
    if (!grabber.waitForStarted()) {
        return std::nullopt;
    }
    qsizetype lines = 0;
    const auto result = measure(grabber.processId(), QStringLiteral("floor"), server, [&] {
        grabber.waitForReadyRead(0);
        lines += grabber.readAllStandardOutput().count('\n');
        return lines;
    });
    grabber.kill();
    grabber.waitForFinished();
    return result;
}

// --grab-only: reads the 386 x 300 corner into one shared-memory image once a second.
int grabCornerOnly(const char* displayName) {
    Display* display = XOpenDisplay(displayName);
    if (display == nullptr || !XShmQueryExtension(display)) {
        return 1;
    }
    const int screen = DefaultScreen(display);
    XShmSegmentInfo segment{};
    XImage* image = XShmCreateImage(display, DefaultVisual(display, screen),
                                    unsigned(DefaultDepth(display, screen)), ZPixmap, nullptr,
                                    &segment, 386, 300);
    segment.shmid = shmget(IPC_PRIVATE, std::size_t(image->bytes_per_line) * 300, IPC_CREAT | 0600);
    segment.shmaddr = image->data = static_cast<char*>(shmat(segment.shmid, nullptr, 0));
    segment.readOnly = False;
    XShmAttach(display, &segment);
    shmctl(segment.shmid, IPC_RMID, nullptr);
    for (;;) {
        std::this_thread::sleep_until(
            std::chrono::ceil<std::chrono::seconds>(std::chrono::system_clock::now() + 1ms));
        if (!XShmGetImage(display, DefaultRootWindow(display), image, 0, 0, AllPlanes)) {
            return 1;
        }
        std::printf("grabbed\n");
        std::fflush(stdout);
    }
}

const char* verdict(bool holds) {
    return holds ? "PASS" : "FAIL";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--grab-only") {
        return grabCornerOnly(argv[2]);
    }
    QCoreApplication app(argc, argv);
    for (const char* tool : {"Xvfb", "xdotool", "ffmpeg"}) {
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            std::printf("bench_whole_picture: skipped: %s is not installed (tools/deps.sh bench)\n",
                        tool);
            return 0;
        }
    }
    const QImage background(QStringLiteral(KORONCAM_BENCH_IMAGES "/fhd_a.png"));
    Server server;
    if (background.isNull() || !server.start(background)) {
        std::printf("bench_whole_picture: skipped: no screen picture or no X server\n");
        return 0;
    }
    std::printf("%d pictures per case in %d rounds on %s, %dx%d, root window showing fhd_a.png\n",
                kPictures * kRounds, kRounds, qPrintable(server.name()), kScreenWidth,
                kScreenHeight);
    if (!callgrindFolder().isEmpty()) {
        const std::optional<PerPicture> counted[4] = {
            shootWithKoronCam(server, false), shootWithKoronCam(server, true),
            shootWithFfmpeg(server), shootCornerOnly(server)};
        const char* names[4] = {"KoronCam, BMP", "KoronCam, PNG at once", "ffmpeg x11grab to PNG",
                                "the corner read alone"};
        std::printf("instructions per picture:   program   X server\n");
        for (int i = 0; i < 4; ++i) {
            std::printf("  %-22s %12.0f %10.0f\n", names[i],
                        counted[i] ? counted[i]->programInstructions : 0.0,
                        counted[i] ? counted[i]->serverInstructions : 0.0);
        }
        return 0;
    }
    // Each case's round of the median total, so that one round that the machine's load
    // disturbed does not decide.
    std::vector<PerPicture> rounds[4];
    for (int round = 0; round < kRounds; ++round) {
        const std::optional<PerPicture> taken[4] = {
            shootWithKoronCam(server, false), shootWithKoronCam(server, true),
            shootWithFfmpeg(server), shootCornerOnly(server)};
        for (int i = 0; i < 4; ++i) {
            if (!taken[i]) {
                std::printf(
                    "SUMMARY|whole picture, KoronCam against ffmpeg|- (case %d of round %d "
                    "did not run)|-|-|-|-|FAIL\n",
                    i + 1, round + 1);
                return 1;
            }
            std::printf("  round %d, case %d: program %.3f ms, X server %.3f ms\n", round + 1,
                        i + 1, taken[i]->programMs, taken[i]->serverMs);
            rounds[i].push_back(*taken[i]);
        }
    }
    const auto median = [](std::vector<PerPicture>& all) {
        std::sort(all.begin(), all.end(),
                  [](const PerPicture& a, const PerPicture& b) { return a.total() < b.total(); });
        return all[all.size() / 2];
    };
    const PerPicture bmp = median(rounds[0]);
    const PerPicture png = median(rounds[1]);
    const PerPicture ffmpegMedian = median(rounds[2]);
    const PerPicture floor = median(rounds[3]);
    const PerPicture* ffmpeg = &ffmpegMedian;
    std::printf("CPU per picture, round of the median total:\n");
    std::printf("                          program   X server     total   ratio to ffmpeg\n");
    const auto row = [&](const char* name, const PerPicture& p) {
        std::printf("  %-22s %8.3f ms %8.3f ms %8.3f ms  %6.3fx\n", name, p.programMs, p.serverMs,
                    p.total(), p.total() / ffmpeg->total());
    };
    row("KoronCam, BMP", bmp);
    row("KoronCam, PNG at once", png);
    row("ffmpeg x11grab to PNG", *ffmpeg);
    row("the corner read alone", floor);
    bool allHold = true;
    const auto summary = [&](const char* name, const PerPicture& p, double bar) {
        const double ratio = p.total() / ffmpeg->total();
        allHold = allHold && ratio <= bar && p.serverMs <= kServerBarMs;
        std::printf(
            "SUMMARY|whole picture CPU, %s (program + X)|%.3f ms|ffmpeg x11grab PNG|%.3f "
            "ms|%.3fx|<= %.2fx|%s\n",
            name, p.total(), ffmpeg->total(), ratio, bar, verdict(ratio <= bar));
        std::printf("SUMMARY|whole picture, X server CPU, %s|%.3f ms|-|-|-|<= %.1f ms|%s\n", name,
                    p.serverMs, kServerBarMs, verdict(p.serverMs <= kServerBarMs));
    };
    summary("BMP", bmp, kBmpBar);
    summary("PNG at once", png, kPngBar);
    std::printf(
        "SUMMARY|whole picture, the corner read alone (any X11 capture's floor)|%.3f ms|"
        "ffmpeg x11grab PNG|%.3f ms|%.3fx|-|-\n",
        floor.total(), ffmpeg->total(), floor.total() / ffmpeg->total());
    return allHold ? 0 : 1;
}
