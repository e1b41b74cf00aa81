#pragma once
// A screen of the test's own for PipeWire: a video source node (BGRx, one size) that offers
// exactly the given number of buffers and shows a plain colour on demand.

#include <cstdint>
#include <memory>
#include <QRgb>
#include <QString>

namespace waylandtest {

class VideoSource {
public:
    // Connects to the PipeWire daemon at `socketPath`; `buffers` is the only count it accepts.
    VideoSource(const QString& socketPath, int buffers, int width, int height);
    ~VideoSource();
    VideoSource(const VideoSource&) = delete;
    VideoSource& operator=(const VideoSource&) = delete;

    // The node's id once PipeWire has made it (waits up to 5 s); 0 when it did not.
    std::uint32_t node();
    // Fills a free buffer with `colour` and sends it; false when no buffer is free.
    bool show(QRgb colour);

    struct State;

private:
    std::unique_ptr<State> state_;
};

// A socket connected to the PipeWire daemon at `socketPath`, as the portal hands one out; -1
// when it cannot connect.
int connectTo(const QString& socketPath);

}  // namespace waylandtest
