// The whole cost of one picture as the shooting cycle takes it at 1920 x 1080: the capture of the
// screen, the clean-up scan over a folder of 1,000 pictures, the picture drawn into the box and
// written as a BMP, and its conversion to PNG. Medians in milliseconds. Run it under an X server
// of that size (Xvfb :N -screen 0 1920x1080x24); without one it measures all but the capture.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QWidget>

#include "app/BmpFile.h"
#include "folder/PictureFolder.h"
#include "platform/qt/PictureBox.h"
#include "platform/ScreenChoice.h"
#include "pngsaver.h"

namespace {

constexpr int kRounds = 30;
constexpr int kPictures = 1000;

double medianMs(const std::function<void()>& step) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        step();
        times.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }
    std::nth_element(times.begin(), times.begin() + kRounds / 2, times.end());
    return times[kRounds / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const bool haveDisplay = !qEnvironmentVariableIsEmpty("DISPLAY");
    if (!haveDisplay) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    const QByteArray filler(348054, 'p');
    for (int i = 0; i < kPictures; ++i) {
        QFile file(folder + QString("kcPic2000-01-01-%1.bmp").arg(i, 6, 10, QChar('0')));
        if (!file.open(QIODevice::WriteOnly) || file.write(filler) != filler.size()) {
            std::fprintf(stderr, "cannot prepare the picture folder\n");
            return 2;
        }
    }

    auto screen = platform::makeScreen();
    QImage picture(1920, 1080, QImage::Format_RGB32);
    picture.fill(QColor(40, 90, 160));
    double captureMs = 0;
    if (screen->pressPrintScreen()) {
        picture = screen->clipboardPicture();
        captureMs = medianMs([&] { screen->pressPrintScreen(); });
    }

    QWidget window;
    platform::PictureBox box(&window, QRectF(120, 720, 5850, 4560), Qt::lightGray);
    const int64_t limit = folder::limitBytes(2048);  // the folder is within its limit
    const double cleanMs = medianMs([&] {
        const auto result = folder::cleanFolder(folder, limit, 348054, true);
        if (result.outcome != folder::CleanOutcome::Store) {
            std::fprintf(stderr, "unexpected clean-up result\n");
        }
    });
    const QString bmp = folder + "shot.bmp";
    const double bmpMs = medianMs([&] {
        box.setPicture(picture);
        app::saveBmp(box.image(), bmp);
    });
    const QByteArray bmpPath = bmp.toUtf8();
    const QByteArray pngPath = (folder + "shot.png").toUtf8();
    const double pngMs =
        medianMs([&] { BmpToPng(bmpPath.constData(), pngPath.constData(), "c6"); });

    std::printf("one picture at %d x %d, medians of %d rounds:\n", picture.width(),
                picture.height(), kRounds);
    if (captureMs > 0) {
        std::printf("  capture                      %8.2f ms\n", captureMs);
    } else {
        std::printf("  capture                      (no X display: not measured)\n");
    }
    std::printf("  clean-up over %d pictures  %8.2f ms\n", kPictures, cleanMs);
    std::printf("  picture into the box + BMP   %8.2f ms\n", bmpMs);
    std::printf("  PNG (c6)                     %8.2f ms\n", pngMs);
    const double total = captureMs + cleanMs + bmpMs + pngMs;
    std::printf("  whole picture                %8.2f ms\n", total);
    std::printf(
        "SUMMARY|whole picture at 1920x1080 (capture, clean-up of 1,000, BMP, PNG)|%.2f "
        "ms|-|-|-|-|-\n",
        total);
    return 0;
}
