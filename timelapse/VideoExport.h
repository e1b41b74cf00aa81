#pragma once
// A time-lapse video from stored pictures: the frames of the plan, each picture read, fitted to
// the video's size and encoded. Runs on a worker thread; the window that started it reads the
// progress and may ask it to stop.

#include <atomic>
#include <cstdint>
#include <vector>
#include <QImage>
#include <QSize>

#include "platform/VideoEncoder.h"
#include "timelapse/FramePlan.h"
#include "timelapse/TimedPicture.h"

namespace timelapse {

struct ExportRequest {
    std::vector<TimedPicture> pictures;  // in time order
    int from = 0;                        // the range, both ends included
    int to = 0;
    Gaps gaps = Gaps::LeaveOut;
    int framesPerSecond = 30;
    platform::VideoFormat format = platform::VideoFormat::Mp4;
    QString path;  // the video file
};

// Shared with the window while the export runs.
struct ExportProgress {
    std::atomic<int64_t> framesDone{0};
    std::atomic<bool> cancel{false};
};

struct ExportResult {
    bool cancelled = false;  // stopped by `cancel`: no file was left
    int64_t frames = 0;
    int unreadable = 0;  // pictures that could not be read (deleted meanwhile, damaged)
};

// The video's size: that of the first picture of the range whose header can be read (386 x 300
// when none can), made even by a black column or row, as H.264 in yuv420p needs.
QSize videoSize(const std::vector<TimedPicture>& pictures, int from, int to);

// `picture` on a black frame of `frame`'s size: a picture of the range's size at the top left, as
// it is; one of another size scaled to fit `pictureSize` keeping its proportions, centred.
QImage fitToFrame(const QImage& picture, QSize frame, QSize pictureSize);

// Writes the video of `request`. A picture that cannot be read shows the one before it (black
// when none came before), so the frames keep their times. Throws platform::Error when the video
// cannot be written; then, as after a cancel, no file is left.
ExportResult exportVideo(const ExportRequest& request, ExportProgress& progress);

}  // namespace timelapse
