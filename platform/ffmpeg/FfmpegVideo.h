#pragma once
// The video encoder on FFmpeg's libraries: libx264 for MP4, libvpx-vp9 for WebM, libswscale for
// the colours, libavformat for the file.

#include "platform/VideoEncoder.h"

namespace platform {

// A reason from an FFmpeg error code, in the words of describeError where it is a system error.
QString describeAvError(int code);

}  // namespace platform
