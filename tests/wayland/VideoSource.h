#pragma once
// A screen of the test's own for PipeWire: a video source node (BGRx, one size, a fixed rate
// that knows no cap) offering exactly `buffers` buffers, showing a plain colour on demand.

#include <cstdint>
#include <QRgb>
#include <QString>

#include <pipewire/pipewire.h>

namespace waylandtest {

// A socket connected to the PipeWire daemon at `path`, as the portal hands one out; -1 if none.
int connectTo(const QString& path);

struct VideoSource {
    VideoSource(const QString& socketPath, int buffers, int width, int height);
    ~VideoSource();
    std::uint32_t node();    // its id once PipeWire has made it (waits up to 5 s); 0 if not
    bool show(QRgb colour);  // false when no buffer is free
    static void onParamChanged(void* data, std::uint32_t id, const spa_pod* param);

    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    int buffers, width, height;
};

}  // namespace waylandtest
