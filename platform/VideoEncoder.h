#pragma once
// Writing a video, frame by frame. The file appears only when it is complete: until then it is
// written under a temporary name beside it, and an encoder dropped before `finish` (cancelled, or
// after a failure) removes what it wrote.

#include <cstdint>
#include <memory>
#include <QImage>
#include <QSize>
#include <QString>

namespace platform {

enum class VideoFormat {
    Mp4,   // H.264 in yuv420p, which browsers and phones play
    WebM,  // VP9
};

struct VideoSettings {
    QString path;  // the finished file
    QSize size;    // every frame's size; both sides even
    int framesPerSecond = 30;
    VideoFormat format = VideoFormat::Mp4;
};

class VideoEncoder {
public:
    virtual ~VideoEncoder() = default;
    // Adds `picture` (of the video's size) as the next `repeat` frames. Throws platform::Error with
    // the whole sentence when the encoding or the writing fails.
    virtual void addFrames(const QImage& picture, int64_t repeat) = 0;
    // Ends the video and renames it into place, replacing a file of that name. Throws
    // platform::Error when that fails; the temporary file is removed then.
    virtual void finish() = 0;
};

// Starts a video by `settings`. Throws platform::Error when its temporary file cannot be made or
// the codec cannot be opened.
std::unique_ptr<VideoEncoder> startVideo(const VideoSettings& settings);

// The file name extension of `format`, with its dot: ".mp4", ".webm".
QString videoExtension(VideoFormat format);

}  // namespace platform
