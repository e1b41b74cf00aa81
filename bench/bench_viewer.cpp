// The picture window with 100,000 pictures: opening it (the folder's index already kept, as the
// program keeps it from start-up), moving to random pictures with the slider, and one look at the
// folder's changes while it is open. Baselines in the same run: reading the folder in full once
// (what a listing costs), and decoding the same picture file alone (what any viewer pays). Bars:
// opening under 500 ms, every move under 50 ms (picture drawn). The pictures are hard links to
// real 386×300 crops, as BMP and as PNG, so they decode as shot pictures do and use no space.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSlider>

#include <unistd.h>

#include "BenchFolder.h"
#include "app/BmpFile.h"
#include "folder/PictureIndex.h"
#include "viewer/PictureList.h"
#include "viewer/frmView.h"

namespace fs = std::filesystem;

namespace {

constexpr int kCount = 100000;
constexpr double kOpenBar = 500;  // milliseconds
constexpr double kMoveBar = 50;   // milliseconds
const char* const kCrops[] = {"crop_photo.png", "crop_term.png", "crop_ui.png"};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::exit(2);
}

// Each crop as a PNG and as a BMP; picture i links to one of them, named as shot at second i.
void fillFolder(const fs::path& folder, const fs::path& sources) {
    std::vector<std::string> png, bmp;
    for (const char* crop : kCrops) {
        const QImage image(QString::fromUtf8((fs::path(KORONCAM_BENCH_IMAGES) / crop).c_str()));
        if (image.isNull()) {
            fail("a bench image cannot be read");
        }
        png.push_back((sources / crop).string());
        bmp.push_back((sources / crop).replace_extension(".bmp").string());
        QFile out(QString::fromStdString(bmp.back()));
        if (!image.save(QString::fromStdString(png.back()), "PNG") ||
            !out.open(QIODevice::WriteOnly) || out.write(app::encodeBmp(image)) < 0) {
            fail("a source picture cannot be written");
        }
    }
    for (int i = 0; i < kCount; ++i) {
        const std::string name = bench::pictureName(i);
        const std::string& source = (name.ends_with(".png") ? png : bmp)[size_t(i) % png.size()];
        if (::link(source.c_str(), (folder / name).c_str()) != 0) {
            fail("a picture cannot be linked");
        }
    }
}

void summary(const char* figure, double value, const char* base, double baseValue, const char* bar,
             bool holds) {
    std::printf("SUMMARY|%s|%.2f ms|%s|%.2f ms|%.2fx|%s|%s\n", figure, value, base, baseValue,
                value / baseValue, bar,
                bar[0] == '-' ? "-"
                : holds       ? "PASS"
                              : "FAIL");
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const fs::path root = bench::temporaryRoot();
    const fs::path folder = root / "pictures";
    fs::create_directory(folder);
    fs::create_directory(root / "sources");
    fillFolder(folder, root / "sources");
    const QString path = QString::fromStdString(folder.string()) + QLatin1Char('/');

    // The program's index of the folder, read in full once at start-up (not timed), and the
    // baseline: one more full reading.
    folder::pictureIndex(path).refresh();
    const bench::Time fullRead =
        bench::timeOf([&] { folder::PictureIndex(path, false).refresh(); });

    frmView* view = nullptr;
    const bench::Time open = bench::timeOf([&] {
        view = new frmView([&] { return path; });
        view->show();
        view->repaint();
    });
    if (view->pictures().size() != size_t(kCount) || view->current() != kCount - 1) {
        fail("the window does not show the pictures");
    }
    const bench::Time follow = bench::timeOf([&] { view->followFolder(); });

    std::mt19937 random(7);
    std::vector<double> moves, decodes;
    auto* slider = view->findChild<QSlider*>(QStringLiteral("sldPicture"));
    for (int i = 0; i < 300; ++i) {
        const int to = int(random() % kCount);
        moves.push_back(bench::timeOf([&] {
                            slider->setValue(to);
                            view->repaint();
                        }).elapsed);
        if (view->current() != to) {
            fail("a move did not reach its picture");
        }
        const QString file = view->pictures()[size_t(to)].file;
        decodes.push_back(bench::timeOf([&] { QImage image(file); }).elapsed);
    }
    const double worstMove = *std::max_element(moves.begin(), moves.end());
    const double medianMove = bench::medianOf(moves);
    const double medianDecode = bench::medianOf(decodes);

    std::printf(
        "pictures %d: full reading %.1f ms (CPU %.1f); open %.1f ms (CPU %.1f); one look at "
        "changes %.1f ms (CPU %.1f)\n",
        kCount, fullRead.elapsed, fullRead.cpu, open.elapsed, open.cpu, follow.elapsed, follow.cpu);
    std::printf("move to a random picture: median %.2f ms, worst %.2f ms; decoding alone %.2f ms\n",
                medianMove, worstMove, medianDecode);
    summary("viewer: open with 100,000 pictures", open.elapsed, "full folder reading",
            fullRead.elapsed, "<= 500 ms", open.elapsed <= kOpenBar);
    summary("viewer: worst of 300 moves, 100,000 pictures", worstMove, "decoding alone",
            medianDecode, "<= 50 ms", worstMove <= kMoveBar);
    summary("viewer: one look at the folder's changes", follow.elapsed, "full folder reading",
            fullRead.elapsed, "-", true);

    delete view;
    fs::remove_all(root);
    return open.elapsed <= kOpenBar && worstMove <= kMoveBar ? 0 : 1;
}
