#pragma once
// Pictures for time-lapse tests, named as the program names them, and the videos read back
// through ffprobe and ffmpeg.

#include <vector>
#include <QColor>
#include <QImage>
#include <QString>

#include "timelapse/TimedPicture.h"

namespace testing_support {

// The moment 2026-12-09 13:45:00 of a picture name, as the names' times are counted.
constexpr int64_t kStart = 1796823900;

// A 386 x 300 picture, its left half in `left` and its right half in `right`, saved in `folder`
// as kcPic + the time of `time` + `extension`.
timelapse::TimedPicture savePicture(const QString& folder, int64_t time, QColor left, QColor right,
                                    const char* extension = ".png");

struct Video {
    QString codec, pixelFormat;
    int width = 0, height = 0;
    std::vector<QImage> frames;  // every frame, decoded to RGB
};
// The video at `path` as ffprobe and ffmpeg read it; no frames when they cannot.
Video readVideo(const QString& path);

}  // namespace testing_support
