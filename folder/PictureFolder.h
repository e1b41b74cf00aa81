#pragma once
// The picture folder's rules: what the stored pictures occupy, how many more fit, and the
// clean-up before each shot. Free functions without windows; the main window carries out their
// decisions (message boxes, the timer, the gauge).

#include <cstdint>
#include <optional>
#include <QString>

#include "folder/PictureIndex.h"

namespace folder {

// The stored pictures, matched without regard to letter case.
inline const QString kBmpPattern = QStringLiteral("kcPic*.bmp");
inline const QString kPngPattern = QStringLiteral("kcPic*.png");

// The estimated length of one PNG picture.
constexpr int64_t kPngShotSize = 68000;

// The folder limit in bytes for a limit in megabytes (1,048,576 bytes). Sizes are 64-bit, so a
// limit of 2048 megabytes or more, and totals above 2 GiB, work.
int64_t limitBytes(int32_t maxpathsize);

// The length of one stored picture: kPngShotSize when pictures are compressed, else `bmpsize`.
int64_t shotSize(bool runpng, int32_t bmpsize);

// How many more pictures fit: floor((limit - total) / shot) + 1. It is 1 when the total equals
// the limit and 0 or less when the folder is over it. Throws platform::Error when `shot` is not
// positive.
double remainingShots(int64_t limit, int64_t total, int64_t shot);

// The gauge's maximum: floor(maxpathsize * 1048576 / shot) + 1. Throws platform::Error when
// `shot` is not positive.
double gaugeMaximum(int32_t maxpathsize, int64_t shot);

// The total length of the pictures in `path` (a folder path ending with "/": the patterns are
// appended to it directly), from the folder's index. Throws platform::Error when the folder cannot
// be read.
int64_t GetPathSize(const QString& path);

enum class CleanOutcome {
    Store,         // the folder is within its limit: the shot may be stored
    FolderFull,    // over the limit and shooting stops when full: stop, store nothing
    DeleteFailed,  // the oldest picture could not be deleted: stop the timer, store nothing
};

struct CleanResult {
    CleanOutcome outcome = CleanOutcome::Store;
    // Remaining shots by the first scan, for the gauge; empty only when it was not needed
    // (deleting oldest pictures) and the shot size is not positive.
    std::optional<double> remaining;
    QString failedName;  // DeleteFailed: path + the picture's name, or path alone if none was found
    QString reason;      // DeleteFailed: why
    int deletedCount = 0;
};

// The clean-up before a shot, on the pictures as `index` has them after a refresh (the BMP
// pattern in listing order, then the PNG pattern); within the limit (total <= limit) the shot may
// be stored. Over the limit it either reports the folder full (`stopiffull`) or deletes the oldest
// picture, refreshing and deleting again while the folder stays over the limit. Throws
// platform::Error when the folder cannot be read, or when `stopiffull` is set and `shot` is not
// positive.
CleanResult cleanFolder(PictureIndex& index, int64_t limit, int64_t shot, bool stopiffull);

// The same on the index of the picture folder `path`.
CleanResult cleanFolder(const QString& path, int64_t limit, int64_t shot, bool stopiffull);

}  // namespace folder
