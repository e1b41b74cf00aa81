#include "folder/PictureFolder.h"

#include <cmath>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace folder {
namespace {

constexpr int64_t kMegabyte = 1024 * 1024;

struct Scan {
    int64_t total = 0;
    bool found = false;
    QString oldestName;  // full name
    int64_t oldestSize = 0;
    int64_t oldestTime = 0;
    size_t oldestPattern = 0;
};

// The pictures, measured in one reading of the folder. The patterns are appended to `path` as a
// wildcard path, so the folder is what precedes its last "/"; a picture's full name is that
// folder followed by its name.
//
// The oldest picture is the first one met with the earliest time when the BMP pictures are
// looked at in listing order and then the PNG pictures: that is the least by time, then pattern,
// then listing order, which needs no sorted listing.
Scan scanPictures(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const QString folder = path.left(slash + 1);
    const QString prefix = path.mid(slash + 1);
    Scan scan;
    QString oldest;  // bare name
    platform::forEachFile(
        folder, {prefix + kBmpPattern, prefix + kPngPattern},
        [&](size_t pattern, const platform::FileInfo& file) {
            scan.total += file.size;
            const bool older =
                !scan.found || file.modifiedNs < scan.oldestTime ||
                (file.modifiedNs == scan.oldestTime &&
                 (pattern < scan.oldestPattern ||
                  (pattern == scan.oldestPattern && platform::listedBefore(file.name, oldest))));
            if (older) {
                scan.found = true;
                oldest = file.name;
                scan.oldestSize = file.size;
                scan.oldestTime = file.modifiedNs;
                scan.oldestPattern = pattern;
            }
        });
    if (scan.found) {
        scan.oldestName = folder + oldest;
    }
    return scan;
}

void requirePositiveShot(int64_t shot) {
    if (shot <= 0) {
        throw platform::Error(
            QStringLiteral("画像1枚の大きさが %1 バイトのため、残り枚数を計算できません")
                .arg(shot));
    }
}

}  // namespace

int64_t limitBytes(int32_t maxpathsize) {
    return int64_t{maxpathsize} * kMegabyte;
}

int64_t shotSize(bool runpng, int32_t bmpsize) {
    return runpng ? kPngShotSize : int64_t{bmpsize};
}

double remainingShots(int64_t limit, int64_t total, int64_t shot) {
    requirePositiveShot(shot);
    return std::floor(double(limit - total) / double(shot)) + 1;
}

double gaugeMaximum(int32_t maxpathsize, int64_t shot) {
    requirePositiveShot(shot);
    return std::floor(double(maxpathsize) * double(kMegabyte) / double(shot)) + 1;
}

int64_t GetPathSize(const QString& path) {
    return scanPictures(path).total;
}

CleanResult cleanFolder(const QString& path, int64_t limit, int64_t shot, bool stopiffull) {
    CleanResult result;
    bool firstScan = true;
    // A loop, not recursion: lowering the limit a long way deletes many pictures in one call.
    for (;;) {
        const Scan scan = scanPictures(path);
        if (firstScan) {
            firstScan = false;
            if (stopiffull || shot > 0) {
                result.remaining = remainingShots(limit, scan.total, shot);
            }
        }
        if (scan.total <= limit) {
            result.outcome = CleanOutcome::Store;
            return result;
        }
        if (stopiffull) {
            result.outcome = CleanOutcome::FolderFull;
            return result;
        }
        // Over the limit with nothing to delete happens only with a negative limit.
        if (!scan.found) {
            result.outcome = CleanOutcome::DeleteFailed;
            result.failedName = path;
            result.reason = QStringLiteral("削除できる画像がありません");
            return result;
        }
        try {
            platform::removeFile(scan.oldestName);
        } catch (const platform::Error& e) {
            result.outcome = CleanOutcome::DeleteFailed;
            result.failedName = scan.oldestName;
            result.reason = e.message();
            return result;
        }
        ++result.deletedCount;
        if (scan.total - scan.oldestSize <= limit) {
            result.outcome = CleanOutcome::Store;
            return result;
        }
    }
}

}  // namespace folder
