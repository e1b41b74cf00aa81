// BmpToPng on any file: the whole path from a file on disk to a PNG on disk. It must agree with
// the reader on what is a picture, write a PNG of exactly its pixels, leave the BMP alone and
// leave nothing behind when it fails.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <dirent.h>
#include <unistd.h>

#include "BmpReader.h"
#include "Check.h"
#include "PngCheck.h"
#include "pngsaver.h"

namespace {

using fuzz::check;

// One private folder for the whole run, under TMPDIR (fuzz/run.sh points it at its own folder).
const std::string& folder() {
    static const std::string path = [] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/bmp_to_png-XXXXXX";
        check(::mkdtemp(pattern.data()) != nullptr, "cannot create a temporary folder");
        return pattern + "/";
    }();
    return path;
}

std::vector<uint8_t> readAll(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
            bytes.insert(bytes.end(), buffer, buffer + got);
        }
        std::fclose(f);
    }
    return bytes;
}

std::vector<std::string> namesIn(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir(path.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") {
                names.push_back(name);
            }
        }
        ::closedir(dir);
    }
    return names;
}

void removeFolder() {
    ::unlink((folder() + "in.bmp").c_str());
    ::unlink((folder() + "out.png").c_str());
    ::rmdir(folder().c_str());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    folder();
    std::atexit(removeFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bmpPath = folder() + "in.bmp";
    const std::string pngPath = folder() + "out.png";
    FILE* f = std::fopen(bmpPath.c_str(), "wb");
    check(f != nullptr && std::fwrite(data, 1, size, f) == size && std::fclose(f) == 0,
          "cannot write the input file");

    // The program's own options; the reader target covers the other levels.
    const int16_t result = BmpToPng(bmpPath.c_str(), pngPath.c_str(), "c6");

    pngsaver::BmpImage image;
    const bool isPicture = pngsaver::parseBmp(data, size, &image) == pngsaver::BmpStatus::Ok;
    check(result == (isPicture ? PNGSAVER_OK : PNGSAVER_ERR_BAD_BMP),
          "BmpToPng returned " + std::to_string(result) + " for " +
              (isPicture ? "a picture" : "no picture"));
    check(readAll(bmpPath) == std::vector<uint8_t>(data, data + size), "the BMP was changed");
    const std::vector<std::string> names = namesIn(folder());
    check(names.size() == (isPicture ? 2u : 1u), "the folder holds only the BMP and its PNG");
    if (isPicture) {
        const std::vector<uint8_t> png = readAll(pngPath);
        const std::string wrong = fuzz::comparePng(png.data(), png.size(), image);
        check(wrong.empty(), "PNG file of the picture: " + wrong);
        ::unlink(pngPath.c_str());
    }
    return 0;
}
