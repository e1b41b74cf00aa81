#include "folder/PictureFolder.h"

#include <cmath>
#include <vector>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace folder {
namespace {

constexpr int64_t kMegabyte = 1024 * 1024;

// The pictures matching `pattern` appended to `path`, as a wildcard path: the folder is what
// precedes its last "/". `folder` receives that folder, so a picture's full name is folder + name.
std::vector<platform::FileInfo> listPictures(const QString& path, const QString& pattern,
                                             QString* folder) {
    const QString wildcard = path + pattern;
    const qsizetype slash = wildcard.lastIndexOf(QLatin1Char('/'));
    *folder = wildcard.left(slash + 1);
    return platform::listFiles(*folder, wildcard.mid(slash + 1));
}

struct Scan {
    int64_t total = 0;
    bool found = false;
    QString oldestName;  // full name
    int64_t oldestSize = 0;
    int64_t oldestTime = 0;
};

Scan scanPictures(const QString& path) {
    Scan scan;
    for (const QString& pattern : {kBmpPattern, kPngPattern}) {
        QString folder;
        for (const platform::FileInfo& file : listPictures(path, pattern, &folder)) {
            scan.total += file.size;
            // Strictly earlier only: among equal times the first one met stays the oldest.
            if (!scan.found || file.modifiedNs < scan.oldestTime) {
                scan.found = true;
                scan.oldestName = folder + file.name;
                scan.oldestSize = file.size;
                scan.oldestTime = file.modifiedNs;
            }
        }
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
        if (!platform::removeFile(scan.oldestName, &result.reason)) {
            result.outcome = CleanOutcome::DeleteFailed;
            result.failedName = scan.oldestName;
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
