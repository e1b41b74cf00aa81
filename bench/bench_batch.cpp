// The batch compression window's run against a plain libpng loop, in files per second. Both
// convert 1,000 BMP pictures of the screen crops (386 x 300, the three crops in turn) and delete
// each BMP: the window through its own run (the Start button, the production encoder library
// loaded by name, the gauge and a yield to Qt after every picture), the baseline by reading each
// BMP and writing its PNG with libpng at level 6 and its default filters. Rounds are interleaved
// and the median counts. Exits with 1 when the window converts fewer than 2x the files per second.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include <png.h>
#include <QApplication>
#include <QPushButton>

#include "BenchPictures.h"
#include "EncoderBaseline.h"
#include "folder/PictureFolder.h"
#include "platform/Files.h"
#include "platform/Platform.h"
#include "platform/posix/DlPngLibrary.h"
#include "png/frmPng.h"

namespace fs = std::filesystem;

namespace {

using bench::Bgr;
using bench::bmpBytes;
using bench::libpngConvert;
using bench::loadPng;

constexpr int kFiles = 1000;
constexpr int kRounds = 3;
constexpr double kBar = 2.0;

// An empty folder holding kFiles pictures named as the program names them, the crops in turn.
void fillFolder(const fs::path& folder, const std::vector<std::vector<uint8_t>>& bmps) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int i = 0; i < kFiles; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "kcPic2000-01-01-00-%02d-%02d.bmp", i / 60 % 60, i % 60);
        const std::vector<uint8_t>& bmp = bmps[i % bmps.size()];
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
        if (!out) {
            throw std::runtime_error("cannot write " + (folder / name).string());
        }
    }
}

// The baseline loop over the folder: the same listing, the same names, the BMP deleted after.
void runLibpng(const fs::path& folder) {
    const QString path = QString::fromStdString(folder.string() + "/");
    for (const platform::FileInfo& file : platform::listFiles(path, folder::kBmpPattern)) {
        const fs::path bmp = folder / file.name.toStdString();
        fs::path png = bmp;
        png.replace_extension(".png");
        if (!libpngConvert(bmp, png) || !fs::remove(bmp)) {
            throw std::runtime_error("libpng loop failed on " + bmp.string());
        }
    }
}

// A Ui as in production for yields. A message box means a failed run: it is printed rather than
// shown, and the run, which then stops, counts as not finished.
class BenchUi : public platform::Ui {
public:
    platform::Answer msgBox(QWidget*, const QString& text, platform::Buttons, platform::Icon,
                            const QString&) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
        return platform::Answer::Ok;
    }
    void doEvents() override { QCoreApplication::processEvents(QEventLoop::AllEvents); }
    void waitUntilShown(QWidget&) override {}
    int showModal(QDialog& dialog) override { return dialog.exec(); }
    [[noreturn]] void endProgram(int status) override { std::exit(status); }
};

// The window's run over the folder, from the press of Start to the window closing itself.
double runWindow(const fs::path& folder) {
    frmPng form(QString::fromStdString(folder.string() + "/"));
    const auto start = std::chrono::steady_clock::now();
    form.findChild<QPushButton*>(QStringLiteral("cmdStart"))->click();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (form.result() != QDialog::Accepted) {
        throw std::runtime_error("the window's run did not finish");
    }
    return seconds;
}

double timed(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Every BMP became a PNG of the same picture (the first of each crop checked pixel for pixel).
void checkConverted(const fs::path& folder, const std::vector<Bgr>& crops) {
    int pngs = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        if (entry.path().extension() == ".bmp") {
            throw std::runtime_error("a BMP was left: " + entry.path().string());
        }
        pngs += entry.path().extension() == ".png";
    }
    if (pngs != kFiles) {
        throw std::runtime_error("PNG count " + std::to_string(pngs));
    }
    for (size_t i = 0; i < crops.size(); ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "kcPic2000-01-01-00-00-%02zu.png", i);
        if (loadPng(folder / name).pixels != crops[i].pixels) {
            throw std::runtime_error(std::string("pixels differ in ") + name);
        }
    }
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

int benchmark() {
    std::vector<fs::path> cropFiles;
    for (const auto& entry : fs::directory_iterator(KORONCAM_BENCH_IMAGES)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("crop_") && entry.path().extension() == ".png") {
            cropFiles.push_back(entry.path());
        }
    }
    std::sort(cropFiles.begin(), cropFiles.end());
    if (cropFiles.empty()) {
        std::fprintf(stderr, "no crop_*.png in %s\n", KORONCAM_BENCH_IMAGES);
        return 1;
    }
    std::vector<Bgr> crops;
    std::vector<std::vector<uint8_t>> bmps;
    for (const fs::path& file : cropFiles) {
        crops.push_back(loadPng(file));
        bmps.push_back(bmpBytes(crops.back()));
    }

    std::string base = (fs::temp_directory_path() / "bench-batch-XXXXXX").string();
    if (mkdtemp(base.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path ours = fs::path(base) / "window";
    const fs::path theirs = fs::path(base) / "libpng";

    std::printf("%d BMP pictures of %zu crops (%ux%u), converted and deleted; %d rounds\n\n",
                kFiles, crops.size(), crops[0].width, crops[0].height, kRounds);
    std::printf("%-6s %14s %14s\n", "round", "window files/s", "libpng files/s");
    std::vector<double> oursRate, theirsRate;
    for (int round = 0; round < kRounds; ++round) {  // interleaved, so drift hits both
        fillFolder(ours, bmps);
        oursRate.push_back(kFiles / runWindow(ours));
        checkConverted(ours, crops);
        fillFolder(theirs, bmps);
        theirsRate.push_back(kFiles / timed([&] { runLibpng(theirs); }));
        checkConverted(theirs, crops);
        std::printf("%-6d %14.1f %14.1f\n", round + 1, oursRate.back(), theirsRate.back());
    }
    std::error_code ignored;  // a leftover temporary folder is harmless
    fs::remove_all(base, ignored);

    const double ratio = median(oursRate) / median(theirsRate);
    const bool pass = ratio >= kBar;
    std::printf("\nmedian: window %.1f files/s, libpng level 6 %.1f files/s, ratio %.2fx\n",
                median(oursRate), median(theirsRate), ratio);
    std::printf("bar: window >= %.1fx libpng: %s\n", kBar, pass ? "PASS" : "FAIL");
    std::printf(
        "SUMMARY|batch window, %d crops|%.1f files/s|libpng level 6 loop|%.1f files/s|"
        "%.2fx|>= %.1fx|%s\n",
        kFiles, median(oursRate), median(theirsRate), ratio, kBar, pass ? "PASS" : "FAIL");
    return pass ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    BenchUi ui;
    platform::DlPngLibrary png(QCoreApplication::applicationDirPath());
    platform::Services services;
    services.ui = &ui;
    services.png = &png;
    services.appFolder = QCoreApplication::applicationDirPath();
    platform::use(services);
    try {
        return benchmark();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_batch: %s\n", e.what());
        return 1;
    }
}
