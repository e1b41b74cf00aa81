// The PNG encoder against libpng: for each benchmark image, the median processor time of
// BmpToPng(..., "c6") and of libpng at level 6 with its default filters, each reading the same BMP
// file and writing a PNG file, and the sizes of the two PNGs. Prints the ratios per image; exits
// with 1 when a bar is missed on the screen images (crop_*, fhd_*): time at most 0.40x and size at
// most 1.00x; with 2 when it cannot run.
#include <algorithm>
#include <csetjmp>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include <png.h>

#include "BenchPictures.h"
#include "pngsaver.h"

namespace fs = std::filesystem;

namespace {

using bench::Bgr;
using bench::get32;
using bench::loadPng;
using bench::put32;

constexpr double kTimeBar = 0.40;
constexpr double kSizeBar = 1.00;

// A 24-bit bottom-up BMP, as the program stores its pictures.
void writeBmp(const Bgr& bgr, const fs::path& path) {
    const size_t rowBytes = size_t{bgr.width} * 3;
    const size_t stride = (rowBytes + 3) / 4 * 4;
    std::vector<uint8_t> bmp(54 + stride * bgr.height, 0);
    bmp[0] = 'B';
    bmp[1] = 'M';
    put32(bmp, 2, static_cast<uint32_t>(bmp.size()));
    put32(bmp, 10, 54);
    put32(bmp, 14, 40);
    put32(bmp, 18, bgr.width);
    put32(bmp, 22, bgr.height);
    bmp[26] = 1;
    bmp[28] = 24;
    for (uint32_t y = 0; y < bgr.height; ++y) {
        std::copy_n(&bgr.pixels[y * rowBytes], rowBytes, &bmp[54 + (bgr.height - 1 - y) * stride]);
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
}

std::vector<uint8_t> readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The baseline: the same work with libpng. Reads our own 24-bit bottom-up BMP, lets libpng swap
// blue and red, and writes the rows top first. Returns false on any failure.
bool libpngConvert(const fs::path& bmpPath, const fs::path& pngPath) {
    const std::vector<uint8_t> bmp = readFile(bmpPath);
    if (bmp.size() < 54) {
        return false;
    }
    const uint32_t offset = get32(bmp, 10);
    const uint32_t width = get32(bmp, 18);
    const uint32_t height = get32(bmp, 22);
    const size_t stride = (size_t{width} * 3 + 3) / 4 * 4;
    if (offset + stride * height > bmp.size()) {
        return false;
    }
    FILE* file = std::fopen(pngPath.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {  // libpng's errors jump back here
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 6);
    png_write_info(png, info);
    png_set_bgr(png);
    for (uint32_t y = 0; y < height; ++y) {
        png_write_row(png, &bmp[offset + (height - 1 - y) * stride]);
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The processor time of one run, in user and kernel mode: on a shared machine the wall time
// mostly measures how long the process waited for a processor.
double millisecondsOf(const std::function<bool()>& work) {
    const double start = cpuMilliseconds();
    if (!work()) {
        throw std::runtime_error("a conversion failed");
    }
    return cpuMilliseconds() - start;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

bool hasBar(const std::string& name) {
    return name.starts_with("crop_") || name.starts_with("fhd_");
}

// Runs every image; returns whether every bar held.
bool runAll(const fs::path& folder) {
    std::vector<fs::path> images;
    for (const auto& entry : fs::directory_iterator(KORONCAM_BENCH_IMAGES)) {
        if (entry.path().extension() == ".png") {
            images.push_back(entry.path());
        }
    }
    std::sort(images.begin(), images.end());
    if (images.empty()) {
        throw std::runtime_error("no images in " KORONCAM_BENCH_IMAGES);
    }

    std::printf(
        "BmpToPng \"c6\" against libpng level 6, default filters (median processor time of "
        "rounds)\n\n");
    std::printf("%-16s %10s %6s %10s %10s %7s %7s  %s\n", "image", "size", "rounds", "ours ms",
                "libpng ms", "time", "size", "result");
    bool allPass = true;
    for (const fs::path& image : images) {
        const std::string name = image.filename().string();
        const Bgr bgr = loadPng(image);
        const fs::path bmp = folder / "kcPic.bmp";
        const fs::path ours = folder / "kcPic.png";
        const fs::path theirs = folder / "libpng.png";
        writeBmp(bgr, bmp);

        const auto runOurs = [&] { return BmpToPng(bmp.c_str(), ours.c_str(), "c6") == 0; };
        const auto runTheirs = [&] { return libpngConvert(bmp, theirs); };
        const bool large = size_t{bgr.width} * bgr.height > 1000000;
        const int rounds = large ? 15 : 41;
        millisecondsOf(runOurs);  // warm the caches and the page cache
        millisecondsOf(runTheirs);
        std::vector<double> oursMs, theirsMs;
        for (int round = 0; round < rounds; ++round) {  // interleaved, so drift hits both
            oursMs.push_back(millisecondsOf(runOurs));
            theirsMs.push_back(millisecondsOf(runTheirs));
        }

        const double timeRatio = median(oursMs) / median(theirsMs);
        const double sizeRatio = double(fs::file_size(ours)) / double(fs::file_size(theirs));
        // A fast encoder is worth nothing if its pictures are wrong.
        const Bgr decoded = loadPng(ours);
        const bool same = decoded.pixels == bgr.pixels;
        std::string result = "-";
        if (!same) {
            result = "FAIL (pixels differ)";
        } else if (hasBar(name)) {
            const bool fastEnough = timeRatio <= kTimeBar, smallEnough = sizeRatio <= kSizeBar;
            result = fastEnough && smallEnough ? "PASS"
                     : fastEnough              ? "FAIL (size)"
                     : smallEnough             ? "FAIL (time)"
                                               : "FAIL (time, size)";
        }
        allPass = allPass && same && (!hasBar(name) || result == "PASS");
        const std::string size = std::to_string(bgr.width) + "x" + std::to_string(bgr.height);
        std::printf("%-16s %10s %6d %10.2f %10.2f %6.3fx %6.3fx  %s\n", name.c_str(), size.c_str(),
                    rounds, median(oursMs), median(theirsMs), timeRatio, sizeRatio, result.c_str());
        // One line each for the report of all benchmarks.
        const char* verdict = !same ? "FAIL" : !hasBar(name) ? "-" : "";
        std::printf(
            "SUMMARY|BmpToPng c6 time, %s|%.2f ms|libpng level 6|%.2f ms|%.3fx|<= %.2fx|%s\n",
            name.c_str(), median(oursMs), median(theirsMs), timeRatio, kTimeBar,
            *verdict ? verdict : (timeRatio <= kTimeBar ? "PASS" : "FAIL"));
        std::printf("SUMMARY|BmpToPng c6 size, %s|%ju B|libpng level 6|%ju B|%.3fx|<= %.2fx|%s\n",
                    name.c_str(), std::uintmax_t(fs::file_size(ours)),
                    std::uintmax_t(fs::file_size(theirs)), sizeRatio, kSizeBar,
                    *verdict ? verdict : (sizeRatio <= kSizeBar ? "PASS" : "FAIL"));
    }
    std::printf("\nbars on crop_* and fhd_*: time <= %.2fx, size <= %.2fx\n", kTimeBar, kSizeBar);
    return allPass;
}

}  // namespace

int main() {
    std::string folderName = (fs::temp_directory_path() / "bench-encoder-XXXXXX").string();
    if (mkdtemp(folderName.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    int status = 1;
    try {
        status = runAll(folderName) ? 0 : 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        status = 2;
    }
    std::error_code ignored;  // a leftover temporary folder is harmless
    fs::remove_all(folderName, ignored);
    return status;
}
