// One clean-up pass before a shot reading the folder in full (as the program does where it cannot
// follow the folder; bench_folder_index measures the index), nothing over the limit, over a
// folder of many pictures, against a plain std::filesystem scan doing the same work: the same
// name filter, every picture's length and time, the total and the oldest. Prints medians of
// elapsed time and of the thread's CPU time (user and system), and their ratios. The verdict is
// on CPU time: both scans are single-threaded and find everything cached, so on an idle machine
// elapsed equals CPU time, while on a shared one elapsed time also counts waiting for a
// processor. Fails above 0.6.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>
#include <benchmark/benchmark.h>
#include <QString>

#include "BenchFolder.h"
#include "folder/PictureFolder.h"

namespace fs = std::filesystem;

namespace {

using bench::fillFolder;
using bench::kPictureSize;
using bench::Time;
using bench::timeOf;

constexpr double kBar = 0.6;

bool endsWithIgnoringCase(const std::string& name, const char* suffix) {
    const size_t n = std::char_traits<char>::length(suffix);
    if (name.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[name.size() - n + i])) != suffix[i]) {
            return false;
        }
    }
    return true;
}

// "kcPic*.bmp" or "kcPic*.png", letter case ignored.
bool isPictureName(const std::string& name) {
    if (name.size() < 9) {
        return false;
    }
    for (size_t i = 0; i < 5; ++i) {
        if (std::tolower(static_cast<unsigned char>(name[i])) != "kcpic"[i]) {
            return false;
        }
    }
    return endsWithIgnoringCase(name, ".bmp") || endsWithIgnoringCase(name, ".png");
}

struct BaselineScan {
    uintmax_t total = 0;
    std::string oldest;
};

BaselineScan filesystemScan(const fs::path& folder) {
    BaselineScan scan;
    fs::file_time_type oldestTime = fs::file_time_type::max();
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        std::string name = entry.path().filename().string();
        if (name.front() == '.' || !isPictureName(name) || !entry.is_regular_file()) {
            continue;
        }
        scan.total += entry.file_size();
        const fs::file_time_type time = entry.last_write_time();
        if (time < oldestTime) {
            oldestTime = time;
            scan.oldest = std::move(name);
        }
    }
    return scan;
}

}  // namespace

int main() {
    const fs::path root = bench::temporaryRoot();
    bool pass = true;

    std::printf("%8s | %-27s | %-27s | %s\n", "", "clean-up pass", "std::filesystem scan", "ratio");
    std::printf("%8s | %8s %8s %9s | %8s %8s %9s | %7s %7s\n", "files", "ms", "cpu ms", "cpu us/f",
                "ms", "cpu ms", "cpu us/f", "ms", "cpu");
    for (const int count : {1000, 10000, 30000}) {
        const fs::path folder = root / std::to_string(count);
        fs::create_directory(folder);
        fillFolder(folder, count);
        const QString path = QString::fromStdString(folder.string()) + QLatin1Char('/');
        const int64_t limit = folder::limitBytes(1 << 20);  // far above: nothing to delete

        folder::PictureIndex scan(path, false);  // reads the folder in full every time

        // Alternate the two, so both see the same cache and machine load; the first round warms.
        const int rounds = count <= 1000 ? 41 : count <= 10000 ? 15 : 9;
        std::vector<double> oursElapsed, oursCpu, theirsElapsed, theirsCpu;
        for (int round = 0; round <= rounds; ++round) {
            folder::CleanResult result;
            const Time a =
                timeOf([&] { result = folder::cleanFolder(scan, limit, kPictureSize, true); });
            benchmark::DoNotOptimize(result);
            BaselineScan scan;
            const Time b = timeOf([&] { scan = filesystemScan(folder); });
            benchmark::DoNotOptimize(scan);
            if (result.outcome != folder::CleanOutcome::Store ||
                folder::GetPathSize(path) != int64_t(scan.total) ||
                scan.total != uintmax_t(count) * kPictureSize) {
                std::fprintf(stderr, "the two scans disagree on %d files\n", count);
                return 2;
            }
            if (round > 0) {
                oursElapsed.push_back(a.elapsed);
                oursCpu.push_back(a.cpu);
                theirsElapsed.push_back(b.elapsed);
                theirsCpu.push_back(b.cpu);
            }
        }
        const double a = bench::medianOf(oursElapsed);
        const double aCpu = bench::medianOf(oursCpu);
        const double b = bench::medianOf(theirsElapsed);
        const double bCpu = bench::medianOf(theirsCpu);
        pass = pass && aCpu / bCpu <= kBar;
        std::printf("%8d | %8.2f %8.2f %9.2f | %8.2f %8.2f %9.2f | %7.2f %7.2f\n", count, a, aCpu,
                    aCpu * 1000 / count, b, bCpu, bCpu * 1000 / count, a / b, aCpu / bCpu);
        std::printf(
            "SUMMARY|clean-up scan, %d files (CPU)|%.2f ms|std::filesystem scan|%.2f ms|"
            "%.2fx|<= %.1fx|%s\n",
            count, aCpu, bCpu, aCpu / bCpu, kBar, aCpu / bCpu <= kBar ? "PASS" : "FAIL");
        fs::remove_all(folder);
    }
    fs::remove_all(root);
    std::printf("%s: clean-up pass at most %.1f x the std::filesystem scan (CPU time)\n",
                pass ? "PASS" : "FAIL", kBar);
    return pass ? 0 : 1;
}
