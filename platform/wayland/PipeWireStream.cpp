#include "platform/wayland/PipeWireStream.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <iterator>
#include <mutex>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/Screen.h"
#include "platform/SystemError.h"
#include "platform/wayland/FramePixels.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

namespace platform::wayland {
namespace {

struct Offered {
    spa_video_format spa;
    RawFormat raw;
};

// Every 32-bit layout toImage() reads; no modifiers are offered, so no DMA-BUF comes.
constexpr Offered kOffered[] = {
    {SPA_VIDEO_FORMAT_BGRx, RawFormat::BGRx}, {SPA_VIDEO_FORMAT_BGRA, RawFormat::BGRA},
    {SPA_VIDEO_FORMAT_RGBx, RawFormat::RGBx}, {SPA_VIDEO_FORMAT_RGBA, RawFormat::RGBA},
    {SPA_VIDEO_FORMAT_xRGB, RawFormat::xRGB}, {SPA_VIDEO_FORMAT_ARGB, RawFormat::ARGB},
    {SPA_VIDEO_FORMAT_xBGR, RawFormat::xBGR}, {SPA_VIDEO_FORMAT_ABGR, RawFormat::ABGR},
};

bool rawFormatOf(std::uint32_t spa, RawFormat& raw) {
    for (const Offered& offered : kOffered) {
        if (offered.spa == spa) {
            raw = offered.raw;
            return true;
        }
    }
    return false;
}

// What the stream accepts: every 32-bit layout, any size; `capped` asks for a variable rate of
// at most five frames a second (a picture a second needs no more, and each frame is a copy of
// the whole screen for the desktop), else any rate.
const spa_pod* formatParam(spa_pod_builder& builder, bool capped) {
    spa_rectangle size{1920, 1080};
    spa_rectangle smallest{1, 1};
    spa_rectangle largest{16384, 16384};
    spa_fraction variable{0, 1};
    spa_fraction fastest{1000, 1};
    spa_fraction cap{5, 1};
    spa_pod_frame frame{};
    spa_pod_builder_push_object(&builder, &frame, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat);
    spa_pod_builder_add(
        &builder, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
        SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(9, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx,
                               SPA_VIDEO_FORMAT_BGRA, SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA,
                               SPA_VIDEO_FORMAT_xRGB, SPA_VIDEO_FORMAT_ARGB, SPA_VIDEO_FORMAT_xBGR,
                               SPA_VIDEO_FORMAT_ABGR),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&size, &smallest, &largest), 0);
    if (capped) {
        spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&variable),
                            SPA_FORMAT_VIDEO_maxFramerate,
                            SPA_POD_CHOICE_RANGE_Fraction(&cap, &variable, &cap), 0);
    } else {
        spa_pod_builder_add(&builder, SPA_FORMAT_VIDEO_framerate,
                            SPA_POD_CHOICE_RANGE_Fraction(&variable, &variable, &fastest), 0);
    }
    return static_cast<const spa_pod*>(spa_pod_builder_pop(&builder, &frame));
}

[[noreturn]] void fail(int error) {
    throw Error(describeError(error));
}

// Fails with the error at hand, after closing the remote's `fd`, which is not yet handed over.
[[noreturn]] void failClosing(int fd) {
    const int error = errno;
    ::close(fd);
    fail(error);
}

}  // namespace

// Everything below the lock of `loop`: the callbacks run on PipeWire's thread with it held.
struct PipeWireStream::State {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    spa_hook coreListener{};
    pw_stream* stream = nullptr;
    spa_hook streamListener{};
    bool formatKnown = false;
    RawFormat format = RawFormat::BGRx;
    int width = 0;
    int height = 0;
    // The newest good frame's corner, in memory of our own: no buffer is ever kept from the
    // desktop, which may have only one to fill.
    QImage corner;
    std::uint64_t frames = 0;                        // corners taken so far
    std::chrono::steady_clock::time_point newestAt;  // when the newest was taken
    bool ended = false;                              // the desktop or PipeWire ended the stream

    bool usable(const pw_buffer* buffer) const;
    void take(const pw_buffer* buffer);
};

namespace {

void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* state = static_cast<PipeWireStream::State*>(data);
    if (id != SPA_PARAM_Format || param == nullptr) {
        return;
    }
    spa_video_info_raw info{};
    std::uint32_t mediaType = 0;
    std::uint32_t mediaSubtype = 0;
    state->formatKnown =
        spa_format_parse(param, &mediaType, &mediaSubtype) >= 0 &&
        mediaType == SPA_MEDIA_TYPE_video && mediaSubtype == SPA_MEDIA_SUBTYPE_raw &&
        spa_format_video_raw_parse(param, &info) >= 0 && rawFormatOf(info.format, state->format);
    state->width = int(info.size.width);
    state->height = int(info.size.height);
    std::uint8_t buffer[1024];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    // Shared memory only: a DMA-BUF would need the GPU to read. At least two buffers where the
    // desktop leaves the number open, so that one is always free to fill; one where it insists.
    const int memory = (1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd);
    const spa_pod* params[] = {
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
            SPA_POD_CHOICE_RANGE_Int(3, 2, 64), SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int(memory))),
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
            SPA_POD_CHOICE_RANGE_Int(1, 1, 64), SPA_PARAM_BUFFERS_dataType,
            SPA_POD_CHOICE_FLAGS_Int(memory))),
        static_cast<const spa_pod*>(
            spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
                                       SPA_PARAM_META_type, SPA_POD_Id(SPA_META_Header),
                                       SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_header)))),
        static_cast<const spa_pod*>(
            spa_pod_builder_add_object(&builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta,
                                       SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoCrop),
                                       SPA_PARAM_META_size, SPA_POD_Int(sizeof(spa_meta_region)))),
        static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type,
            SPA_POD_Id(SPA_META_VideoTransform), SPA_PARAM_META_size,
            SPA_POD_Int(sizeof(spa_meta_videotransform)))),
    };
    pw_stream_update_params(state->stream, params, std::size(params));
}

void onProcess(void* data) {
    auto* state = static_cast<PipeWireStream::State*>(data);
    pw_buffer* newest = nullptr;
    while (pw_buffer* buffer = pw_stream_dequeue_buffer(state->stream)) {
        if (newest != nullptr) {
            pw_stream_queue_buffer(state->stream, newest);
        }
        newest = buffer;
    }
    if (newest == nullptr) {
        return;
    }
    if (state->usable(newest)) {  // else an empty or damaged buffer: the kept corner stays
        state->take(newest);
    }
    pw_stream_queue_buffer(state->stream, newest);
}

void onStateChanged(void* data, pw_stream_state, pw_stream_state now, const char*) {
    auto* state = static_cast<PipeWireStream::State*>(data);
    if (now == PW_STREAM_STATE_ERROR || now == PW_STREAM_STATE_UNCONNECTED) {
        state->ended = true;
    }
}

// The connection to PipeWire itself broke (the daemon went away).
void onCoreError(void* data, std::uint32_t id, int, int result, const char*) {
    auto* state = static_cast<PipeWireStream::State*>(data);
    if (id == PW_ID_CORE && result == -EPIPE) {
        state->ended = true;
    }
}

pw_stream_events makeEvents() {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.state_changed = onStateChanged;
    events.param_changed = onParamChanged;
    events.process = onProcess;
    return events;
}

const pw_stream_events kEvents = makeEvents();

pw_core_events makeCoreEvents() {
    pw_core_events events{};
    events.version = PW_VERSION_CORE_EVENTS;
    events.error = onCoreError;
    return events;
}

const pw_core_events kCoreEvents = makeCoreEvents();

FrameTurn turnOf(std::uint32_t transform) {
    switch (transform) {
        case SPA_META_TRANSFORMATION_90:
            return FrameTurn::Turn90;
        case SPA_META_TRANSFORMATION_180:
            return FrameTurn::Turn180;
        case SPA_META_TRANSFORMATION_270:
            return FrameTurn::Turn270;
        case SPA_META_TRANSFORMATION_Flipped:
            return FrameTurn::Flipped;
        case SPA_META_TRANSFORMATION_Flipped90:
            return FrameTurn::Flipped90;
        case SPA_META_TRANSFORMATION_Flipped180:
            return FrameTurn::Flipped180;
        case SPA_META_TRANSFORMATION_Flipped270:
            return FrameTurn::Flipped270;
        default:
            return FrameTurn::None;
    }
}

}  // namespace

bool PipeWireStream::State::usable(const pw_buffer* buffer) const {
    if (!formatKnown || buffer->buffer->n_datas < 1) {
        return false;
    }
    const spa_data& d = buffer->buffer->datas[0];
    if (d.data == nullptr || d.chunk == nullptr || d.chunk->size == 0 ||
        (d.chunk->flags & SPA_CHUNK_FLAG_CORRUPTED) != 0) {
        return false;
    }
    const auto* header = static_cast<const spa_meta_header*>(
        spa_buffer_find_meta_data(buffer->buffer, SPA_META_Header, sizeof(spa_meta_header)));
    return header == nullptr || (header->flags & SPA_META_HEADER_FLAG_CORRUPTED) == 0;
}

void PipeWireStream::State::take(const pw_buffer* buffer) {
    spa_buffer* b = buffer->buffer;
    const spa_data& d = b->datas[0];
    const std::uint32_t offset = d.chunk->offset % std::max<std::uint32_t>(d.maxsize, 1);
    const int stride = d.chunk->stride > 0 ? d.chunk->stride : width * 4;
    // The frame must lie inside the buffer, or it is not read at all.
    if (width <= 0 || height <= 0 ||
        std::uint64_t(offset) + std::uint64_t(stride) * std::uint64_t(height) > d.maxsize) {
        return;
    }
    FrameView view{format, width, height, stride,
                   static_cast<const unsigned char*>(d.data) + offset};
    if (const auto* crop = static_cast<const spa_meta_region*>(
            spa_buffer_find_meta_data(b, SPA_META_VideoCrop, sizeof(spa_meta_region)))) {
        view.crop = QRect(crop->region.position.x, crop->region.position.y,
                          int(crop->region.size.width), int(crop->region.size.height));
    }
    if (const auto* transform =
            static_cast<const spa_meta_videotransform*>(spa_buffer_find_meta_data(
                b, SPA_META_VideoTransform, sizeof(spa_meta_videotransform)))) {
        view.turn = turnOf(transform->transform);
    }
    const QImage image = cornerImage(view, QSize(kPictureWidth, kPictureHeight));
    if (!image.isNull()) {
        corner = image;
        ++frames;
        newestAt = std::chrono::steady_clock::now();
    }
}

PipeWireStream::PipeWireStream() : state_(std::make_unique<State>()) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });
}

PipeWireStream::~PipeWireStream() {
    State& s = *state_;
    if (s.loop == nullptr) {
        return;
    }
    pw_thread_loop_lock(s.loop);
    if (s.stream != nullptr) {
        pw_stream_destroy(s.stream);
        s.stream = nullptr;
    }
    if (s.core != nullptr) {
        pw_core_disconnect(s.core);
    }
    pw_thread_loop_unlock(s.loop);
    pw_thread_loop_stop(s.loop);
    if (s.context != nullptr) {
        pw_context_destroy(s.context);
    }
    pw_thread_loop_destroy(s.loop);
}

void PipeWireStream::open(int fd, std::uint32_t node) {
    State& s = *state_;
    s.loop = pw_thread_loop_new("koroncam-capture", nullptr);
    if (s.loop == nullptr) {
        failClosing(fd);
    }
    s.context = pw_context_new(pw_thread_loop_get_loop(s.loop), nullptr, 0);
    if (s.context == nullptr) {
        failClosing(fd);
    }
    // Returns the error as a negative number rather than in errno.
    if (const int started = pw_thread_loop_start(s.loop); started < 0) {
        ::close(fd);
        fail(-started);
    }
    pw_thread_loop_lock(s.loop);
    s.core = pw_context_connect_fd(s.context, fd, nullptr, 0);  // owns the fd from here on
    if (s.core == nullptr) {
        const int error = errno;
        pw_thread_loop_unlock(s.loop);
        fail(error);
    }
    pw_core_add_listener(s.core, &s.coreListener, &kCoreEvents, &s);
    s.stream = pw_stream_new(s.core, "KoronCam",
                             pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY,
                                               "Capture", PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (s.stream == nullptr) {
        const int error = errno;
        pw_thread_loop_unlock(s.loop);
        fail(error);
    }
    pw_stream_add_listener(s.stream, &s.streamListener, &kEvents, &s);

    std::uint8_t buffer[2048];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    // The capped offer first; a desktop that cannot cap its rate still streams with the second.
    const spa_pod* params[] = {formatParam(builder, true), formatParam(builder, false)};
    const int result = pw_stream_connect(
        s.stream, PW_DIRECTION_INPUT, node,
        static_cast<pw_stream_flags>(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS |
                                     PW_STREAM_FLAG_DONT_RECONNECT),
        params, std::size(params));
    pw_thread_loop_unlock(s.loop);
    if (result < 0) {
        fail(-result);
    }
}

bool PipeWireStream::ended() {
    State& s = *state_;
    if (s.loop == nullptr) {
        return false;
    }
    pw_thread_loop_lock(s.loop);
    const bool over = s.ended;
    pw_thread_loop_unlock(s.loop);
    return over;
}

FrameStream::Arrivals PipeWireStream::arrivals() {
    State& s = *state_;
    if (s.loop == nullptr) {
        return {};
    }
    pw_thread_loop_lock(s.loop);
    Arrivals seen{s.frames, -1};
    if (s.frames > 0) {
        seen.newestAgeMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                               std::chrono::steady_clock::now() - s.newestAt)
                               .count();
    }
    pw_thread_loop_unlock(s.loop);
    return seen;
}

QImage PipeWireStream::newestFrame() {
    State& s = *state_;
    if (s.loop == nullptr) {
        return {};
    }
    pw_thread_loop_lock(s.loop);
    const QImage image = s.ended ? QImage() : s.corner;
    pw_thread_loop_unlock(s.loop);
    return image;
}

}  // namespace platform::wayland
