#pragma once
// What the encoder benchmarks share: the BMP files they convert, the libpng baseline, and
// processor-time measurement.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <system_error>
#include <csetjmp>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <vector>

#include <png.h>

#include "BenchPictures.h"

namespace bench {

// The bytes of a 24-bit bottom-up BMP, as the program stores its pictures.
inline std::vector<uint8_t> bmpBytes(const Bgr& bgr) {
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
    return bmp;
}

inline void writeBmp(const Bgr& bgr, const std::filesystem::path& path) {
    const std::vector<uint8_t> bmp = bmpBytes(bgr);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bmp.data()), static_cast<std::streamsize>(bmp.size()));
}

inline std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The baseline: the same work with libpng. Reads our own 24-bit bottom-up BMP, lets libpng swap
// blue and red, and writes the rows top first. Returns false on any failure.
inline bool libpngConvert(const std::filesystem::path& bmpPath,
                          const std::filesystem::path& pngPath) {
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

inline double cpuMilliseconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// The processor time of one run, in user and kernel mode: on a shared machine the wall time
// mostly measures how long the process waited for a processor.
inline double millisecondsOf(const std::function<bool()>& work) {
    const double start = cpuMilliseconds();
    if (!work()) {
        throw std::runtime_error("a conversion failed");
    }
    return cpuMilliseconds() - start;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Runs `work` in a new temporary folder, which is removed afterwards, and returns its exit status;
// 2 when the folder cannot be made or the work throws.
inline int inTemporaryFolder(const char* name,
                             const std::function<int(const std::filesystem::path&)>& work) {
    std::string folder =
        (std::filesystem::temp_directory_path() / (std::string(name) + "-XXXXXX")).string();
    if (mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 2;
    }
    int status = 2;
    try {
        status = work(folder);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    std::error_code ignored;  // a leftover temporary folder is harmless
    std::filesystem::remove_all(folder, ignored);
    return status;
}

}  // namespace bench
