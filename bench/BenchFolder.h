#pragma once
// What the picture folder benchmarks share: folders of sparse pictures named as the program names
// them, and the processor time of this thread.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>
#include <QDateTime>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace bench {

constexpr int64_t kPictureSize = 300054;

// A new temporary folder for a benchmark's pictures. Ends the benchmark when none can be made.
inline std::filesystem::path temporaryRoot() {
    char name[] = "/tmp/koroncam-bench-XXXXXX";
    if (::mkdtemp(name) == nullptr) {
        std::perror("mkdtemp");
        std::exit(2);
    }
    return name;
}

// A sparse file of `size` bytes (a length without blocks, so no disk space is used), last
// modified at `seconds`. Written under a hidden name and renamed into place, as the program
// writes its pictures. Ends the benchmark when the file cannot be made.
inline void sparseFile(const std::filesystem::path& path, int64_t size, int64_t seconds) {
    const std::string temp = (path.parent_path() / ".bench-picture.tmp").string();
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const timespec time{seconds, 0};
    const timespec times[2] = {time, time};
    if (fd < 0 || ::ftruncate(fd, size) != 0 || ::futimens(fd, times) != 0 || ::close(fd) != 0 ||
        ::rename(temp.c_str(), path.c_str()) != 0) {
        std::perror(path.c_str());
        std::exit(2);
    }
}

// The name of the picture taken `second` seconds into 2024, one a second, every fifth compressed.
inline std::string pictureName(int64_t second) {
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0, 0));
    return (QStringLiteral("kcPic") +
            start.addSecs(second).toString(QStringLiteral("yyyy-MM-dd-hh-mm-ss")) +
            (second % 5 == 0 ? QStringLiteral(".png") : QStringLiteral(".bmp")))
        .toStdString();
}

// `count` pictures of kPictureSize bytes, the first taken at second 0.
inline void fillFolder(const std::filesystem::path& folder, int count) {
    for (int i = 0; i < count; ++i) {
        sparseFile(folder / pictureName(i), kPictureSize, 1'700'000'000 + i);
    }
}

struct Time {
    double elapsed = 0;  // milliseconds
    double cpu = 0;      // milliseconds of this thread, user and system
};

inline double threadCpuMilliseconds() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

template <typename F>
Time timeOf(F&& work) {
    const double cpuStart = threadCpuMilliseconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const auto end = std::chrono::steady_clock::now();
    return {std::chrono::duration<double, std::milli>(end - start).count(),
            threadCpuMilliseconds() - cpuStart};
}

inline double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t mid = values.size() / 2;
    return values.size() % 2 == 1 ? values[mid] : (values[mid - 1] + values[mid]) / 2;
}

}  // namespace bench
