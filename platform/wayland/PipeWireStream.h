#pragma once
// A FrameStream over PipeWire: raw 32-bit frames in shared memory; of each, the corner that a
// picture keeps is copied out at once and the buffer given back.

#include <memory>

#include "platform/wayland/FrameStream.h"

namespace platform::wayland {

class PipeWireStream : public FrameStream {
public:
    PipeWireStream();
    ~PipeWireStream() override;
    PipeWireStream(const PipeWireStream&) = delete;
    PipeWireStream& operator=(const PipeWireStream&) = delete;

    void open(int fd, std::uint32_t node) override;
    bool ended() override;
    QImage newestFrame() override;
    Arrivals arrivals() override;

    struct State;

private:
    std::unique_ptr<State> state_;
};

}  // namespace platform::wayland
