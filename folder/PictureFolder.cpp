#include "folder/PictureFolder.h"

#include <cmath>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace folder {
namespace {

constexpr int64_t kMegabyte = 1024 * 1024;

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
    PictureIndex& index = pictureIndex(path);
    index.refresh();
    return index.total();
}

CleanResult cleanFolder(const QString& path, int64_t limit, int64_t shot, bool stopiffull) {
    return cleanFolder(pictureIndex(path), limit, shot, stopiffull);
}

CleanResult cleanFolder(PictureIndex& index, int64_t limit, int64_t shot, bool stopiffull) {
    CleanResult result;
    bool firstScan = true;
    // A loop, not recursion: lowering the limit a long way deletes many pictures in one call.
    for (;;) {
        index.refresh();
        const int64_t total = index.total();
        const std::optional<PictureIndex::Picture> oldest = index.oldest();
        if (firstScan) {
            firstScan = false;
            if (stopiffull || shot > 0) {
                result.remaining = remainingShots(limit, total, shot);
            }
        }
        if (total <= limit) {
            result.outcome = CleanOutcome::Store;
            return result;
        }
        if (stopiffull) {
            result.outcome = CleanOutcome::FolderFull;
            return result;
        }
        // Over the limit with nothing to delete happens only with a negative limit.
        if (!oldest) {
            result.outcome = CleanOutcome::DeleteFailed;
            result.failedName = index.path();
            result.reason = QStringLiteral("削除できる画像がありません");
            return result;
        }
        // Deleted by its bytes: a name that is not UTF-8 cannot be spelled again from its text.
        const QString oldestName = index.folder() + oldest->name;
        try {
            platform::removeFile(index.folder(), oldest->rawName);
        } catch (const platform::Error& e) {
            result.outcome = CleanOutcome::DeleteFailed;
            result.failedName = oldestName;
            result.reason = e.message();
            return result;
        }
        ++result.deletedCount;
        if (total - oldest->size <= limit) {
            result.outcome = CleanOutcome::Store;
            return result;
        }
    }
}

}  // namespace folder
