#pragma once
// The screen's video stream that the desktop hands out after a ScreenCast has started.

#include <cstdint>
#include <QImage>
#include <QString>

namespace platform::wayland {

class FrameStream {
public:
    virtual ~FrameStream() = default;

    // Connects to the stream `node` through the PipeWire remote `fd`, which it takes over.
    // Throws platform::Error with the reason when it cannot.
    virtual void open(int fd, std::uint32_t node) = 0;
    // True once the desktop or PipeWire has ended the stream: no frame comes any more.
    virtual bool ended() = 0;
    // The newest frame's top-left corner that a picture keeps (platform::kPictureWidth x
    // kPictureHeight, the whole frame where smaller), as the user sees it; a null image when
    // there is none (not yet, or the stream ended).
    virtual QImage newestFrame() = 0;

    // How many frames have come, and how many milliseconds ago the newest came (-1: none yet).
    struct Arrivals {
        std::uint64_t count = 0;
        std::int64_t newestAgeMs = -1;
    };
    // A stream that cannot tell says none, and pictures then never wait for a frame.
    virtual Arrivals arrivals() { return {}; }
};

}  // namespace platform::wayland
