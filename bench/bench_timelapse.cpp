// The time-lapse export against the ffmpeg command on the same pictures: an hour of pictures
// (3,600 PNG files of 386 x 300) to MP4 (H.264, yuv420p) at 30 frames a second, wall time. Ours
// runs the export as the window does (timelapse::exportVideo); the baseline is
//   ffmpeg -framerate 30 -pattern_type glob -i 'kcPic*.png' -c:v libx264 -pix_fmt yuv420p
// in the pictures' folder. Rounds are interleaved and the medians count. Every video is checked
// with ffprobe: 3,600 frames of 386 x 300, H.264 in yuv420p. Exits with 1 when ours takes longer
// than ffmpeg or a video is not as expected. Processor times are shown beside the wall times: on
// a machine busy with other work, the wall times also measure how the scheduler shares it.
//
// KORONCAM_BENCH_TIMELAPSE_PICTURES=FOLDER keeps the pictures there for the next run (making them
// takes a minute); KORONCAM_BENCH_TIMELAPSE_ROUNDS=N runs N rounds instead of 3.
//
// The pictures are crops of the screens in the bench images, as the program keeps the corner of
// a screen: a window that changes every minute, a small shape that moves across it every second
// (a pet walking) and a line of text that changes with the time.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sys/resource.h>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>

#include "timelapse/VideoExport.h"

namespace {

constexpr int kPictures = 3600;
constexpr int kFramesPerSecond = 30;
constexpr int kRounds = 3;
constexpr double kBar = 1.0;
constexpr int64_t kStart = 1796823900;  // 2026-12-09 13:45:00 as the names count it
const QSize kSize(386, 300);

QString pictureName(int i) {
    return QDateTime::fromSecsSinceEpoch(kStart + i, Qt::UTC)
        .toString(QStringLiteral("'kcPic'yyyy-MM-dd-HH-mm-ss'.png'"));
}

std::vector<timelapse::TimedPicture> makePictures(const QString& folder) {
    std::vector<timelapse::TimedPicture> pictures;
    // Pictures kept from an earlier run (KORONCAM_BENCH_TIMELAPSE_PICTURES) are used again.
    if (QDir(folder).entryList({QStringLiteral("kcPic*.png")}, QDir::Files).size() == kPictures) {
        for (int i = 0; i < kPictures; ++i) {
            pictures.push_back({folder + QLatin1Char('/') + pictureName(i), kStart + i});
        }
        return pictures;
    }
    std::vector<QImage> screens;
    for (const char* name : {"fhd_a.png", "fhd_d.png", "composed_tile40.png"}) {
        screens.emplace_back(QStringLiteral(KORONCAM_BENCH_IMAGES "/") + QLatin1String(name));
        if (screens.back().isNull()) {
            std::fprintf(stderr, "cannot read the bench image %s\n", name);
            std::exit(1);
        }
    }
    for (int i = 0; i < kPictures; ++i) {
        const QImage& screen = screens[size_t(i / 600) % screens.size()];
        const int minute = i / 60;
        const QPoint corner((minute * 97) % (screen.width() - kSize.width()),
                            (minute * 53) % (screen.height() - kSize.height()));
        QImage picture = screen.copy(QRect(corner, kSize)).convertToFormat(QImage::Format_RGB32);
        QPainter painter(&picture);
        painter.setBrush(QColor(255, 160, 40));
        painter.drawEllipse(20 + (i * 5) % 320, 200 + (i % 7) * 3, 40, 32);
        painter.setPen(Qt::white);
        painter.drawText(10, 20, QStringLiteral("%1 秒").arg(i));
        painter.end();
        const QString file = folder + QLatin1Char('/') + pictureName(i);
        if (!picture.save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            std::exit(1);
        }
        pictures.push_back({file, kStart + i});
    }
    return pictures;
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing {
    double wall = 0, cpu = 0;
};

// The wall time of `work` and the processor time it took, in this process (`who` RUSAGE_SELF)
// or in the programs it ran (RUSAGE_CHILDREN).
template <class F>
Timing timed(int who, F&& work) {
    const double cpu = cpuSeconds(who);
    const auto start = std::chrono::steady_clock::now();
    work();
    return {std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
            cpuSeconds(who) - cpu};
}

QByteArray run(const QString& folder, const QString& program, const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program),
                     process.readAllStandardError().constData());
        std::exit(1);
    }
    return process.readAllStandardOutput();
}

// "h264,yuv420p,386,300,3600" as ffprobe counts the video's frames.
bool asExpected(const QString& video) {
    const QByteArray probed =
        run(QDir::tempPath(), QStringLiteral("ffprobe"),
            {"-v", "error", "-count_frames", "-select_streams", "v:0", "-show_entries",
             "stream=codec_name,pix_fmt,width,height,nb_read_frames", "-of", "csv=p=0", video})
            .trimmed();
    const QByteArray expected =
        QByteArrayLiteral("h264,386,300,yuv420p,") + QByteArray::number(kPictures);
    std::printf("  %s: %s\n", qPrintable(QFileInfo(video).fileName()), probed.constData());
    return probed == expected;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);  // QPainter's text needs the fonts
    QTemporaryDir temporary;
    const QString kept = qEnvironmentVariable("KORONCAM_BENCH_TIMELAPSE_PICTURES");
    const QString folder = kept.isEmpty() ? temporary.path() : kept;
    QDir().mkpath(folder);
    std::printf("%d pictures of %dx%d in %s\n", kPictures, kSize.width(), kSize.height(),
                qPrintable(folder));
    const std::vector<timelapse::TimedPicture> pictures = makePictures(folder);
    const QString oursFile = temporary.filePath(QStringLiteral("ours.mp4"));
    const QString theirsFile = temporary.filePath(QStringLiteral("ffmpeg.mp4"));
    const int rounds = qEnvironmentVariableIntValue("KORONCAM_BENCH_TIMELAPSE_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("KORONCAM_BENCH_TIMELAPSE_ROUNDS")
                           : kRounds;

    std::printf("%d pictures to MP4 at %d frames/s; %d rounds\n\n", kPictures, kFramesPerSecond,
                rounds);
    std::printf("%-6s %10s %10s %14s %14s\n", "round", "export s", "ffmpeg s", "export CPU s",
                "ffmpeg CPU s");
    std::vector<double> ours, theirs;
    bool videosRight = true;
    for (int round = 0; round < rounds; ++round) {  // interleaved, so drift hits both
        const Timing ffmpeg = timed(RUSAGE_CHILDREN, [&] {
            run(folder, QStringLiteral("ffmpeg"),
                {"-y", "-v", "error", "-framerate", QString::number(kFramesPerSecond),
                 "-pattern_type", "glob", "-i", "kcPic*.png", "-c:v", "libx264", "-pix_fmt",
                 "yuv420p", theirsFile});
        });
        const Timing export_ = timed(RUSAGE_SELF, [&] {
            timelapse::ExportProgress progress;
            timelapse::exportVideo({pictures, 0, kPictures - 1, timelapse::Gaps::LeaveOut,
                                    kFramesPerSecond, platform::VideoFormat::Mp4, oursFile},
                                   progress);
        });
        theirs.push_back(ffmpeg.wall);
        ours.push_back(export_.wall);
        std::printf("%-6d %10.2f %10.2f %14.2f %14.2f\n", round + 1, export_.wall, ffmpeg.wall,
                    export_.cpu, ffmpeg.cpu);
        if (round == 0) {
            videosRight = asExpected(oursFile) && asExpected(theirsFile);
            std::printf("  sizes: ours %lld B, ffmpeg %lld B\n", QFileInfo(oursFile).size(),
                        QFileInfo(theirsFile).size());
        }
    }
    const double ratio = median(ours) / median(theirs);
    const bool pass = ratio <= kBar && videosRight;
    std::printf("\nmedian: export %.2f s, ffmpeg %.2f s, ratio %.3fx; videos %s\n", median(ours),
                median(theirs), ratio, videosRight ? "as expected" : "NOT as expected");
    std::printf(
        "SUMMARY|time-lapse export, %d PNG to MP4 at %d/s|%.2f s|ffmpeg command|%.2f s|"
        "%.3fx|<= %.1fx|%s\n",
        kPictures, kFramesPerSecond, median(ours), median(theirs), ratio, kBar,
        pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}
