#include "VideoSource.h"

#include <chrono>
#include <cstring>
#include <iterator>
#include <thread>
#include <QFile>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>

namespace waylandtest {

struct VideoSource::State {
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_stream* stream = nullptr;
    spa_hook listener{};
    int buffers = 1;
    int width = 0;
    int height = 0;
};

namespace {

void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* state = static_cast<VideoSource::State*>(data);
    if (id != SPA_PARAM_Format || param == nullptr) {
        return;
    }
    std::uint8_t buffer[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const int stride = state->width * 4;
    const auto* buffers = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
        SPA_POD_Int(state->buffers), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
        SPA_PARAM_BUFFERS_size, SPA_POD_Int(stride * state->height), SPA_PARAM_BUFFERS_stride,
        SPA_POD_Int(stride), SPA_PARAM_BUFFERS_dataType, SPA_POD_Int(1 << SPA_DATA_MemFd)));
    pw_stream_update_params(state->stream, &buffers, 1);
}

const pw_stream_events kEvents = [] {
    pw_stream_events events{};
    events.version = PW_VERSION_STREAM_EVENTS;
    events.param_changed = onParamChanged;
    return events;
}();

}  // namespace

int connectTo(const QString& socketPath) {
    const QByteArray name = QFile::encodeName(socketPath);
    sockaddr_un address{};
    if (std::size_t(name.size()) >= sizeof(address.sun_path)) {
        return -1;
    }
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

VideoSource::VideoSource(const QString& socketPath, int buffers, int width, int height)
    : state_(std::make_unique<State>()) {
    pw_init(nullptr, nullptr);
    State& s = *state_;
    s.buffers = buffers;
    s.width = width;
    s.height = height;
    s.loop = pw_thread_loop_new("test-source", nullptr);
    s.context = pw_context_new(pw_thread_loop_get_loop(s.loop), nullptr, 0);
    pw_thread_loop_start(s.loop);
    pw_thread_loop_lock(s.loop);
    const int fd = connectTo(socketPath);
    s.core = fd < 0 ? nullptr : pw_context_connect_fd(s.context, fd, nullptr, 0);
    if (s.core != nullptr) {
        s.stream = pw_stream_new(s.core, "koroncam-test-screen",
                                 pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr));
        pw_stream_add_listener(s.stream, &s.listener, &kEvents, &s);
        std::uint8_t buffer[512];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        spa_rectangle size{std::uint32_t(width), std::uint32_t(height)};
        spa_fraction rate{25, 1};  // a fixed rate: a source that knows no cap
        const auto* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_Id(SPA_VIDEO_FORMAT_BGRx), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate)));
        pw_stream_connect(
            s.stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS),
            &format, 1);
    }
    pw_thread_loop_unlock(s.loop);
}

VideoSource::~VideoSource() {
    State& s = *state_;
    pw_thread_loop_lock(s.loop);
    if (s.stream != nullptr) {
        pw_stream_destroy(s.stream);
    }
    if (s.core != nullptr) {
        pw_core_disconnect(s.core);
    }
    pw_thread_loop_unlock(s.loop);
    pw_thread_loop_stop(s.loop);
    pw_context_destroy(s.context);
    pw_thread_loop_destroy(s.loop);
}

std::uint32_t VideoSource::node() {
    State& s = *state_;
    for (int waited = 0; s.stream != nullptr && waited < 5000; waited += 20) {
        pw_thread_loop_lock(s.loop);
        const std::uint32_t id = pw_stream_get_node_id(s.stream);
        pw_thread_loop_unlock(s.loop);
        if (id != SPA_ID_INVALID) {
            return id;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

bool VideoSource::show(QRgb colour) {
    State& s = *state_;
    pw_thread_loop_lock(s.loop);
    pw_buffer* buffer = s.stream == nullptr ? nullptr : pw_stream_dequeue_buffer(s.stream);
    if (buffer != nullptr) {
        spa_data& d = buffer->buffer->datas[0];
        auto* pixels = static_cast<std::uint32_t*>(d.data);
        std::fill(pixels, pixels + std::size_t(s.width) * std::size_t(s.height), colour);
        d.chunk->offset = 0;
        d.chunk->stride = s.width * 4;
        d.chunk->size = std::uint32_t(s.width * 4 * s.height);
        pw_stream_queue_buffer(s.stream, buffer);
    }
    pw_thread_loop_unlock(s.loop);
    return buffer != nullptr;
}

}  // namespace waylandtest
