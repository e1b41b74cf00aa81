#include "VideoSource.h"

#include <chrono>
#include <cstring>
#include <thread>
#include <QFile>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <spa/param/video/format-utils.h>

namespace waylandtest {

int connectTo(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{AF_UNIX, {}};
    std::strncpy(address.sun_path, name.constData(), sizeof address.sun_path - 1);
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void VideoSource::onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
    auto* self = static_cast<VideoSource*>(data);
    if (id != SPA_PARAM_Format || param == nullptr) {
        return;
    }
    std::uint8_t buffer[256];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
    const auto* only = static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
        SPA_POD_Int(self->buffers), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
        SPA_PARAM_BUFFERS_size, SPA_POD_Int(self->width * 4 * self->height),
        SPA_PARAM_BUFFERS_stride, SPA_POD_Int(self->width * 4), SPA_PARAM_BUFFERS_dataType,
        SPA_POD_Int(1 << SPA_DATA_MemFd)));
    pw_stream_update_params(self->stream, &only, 1);
}

VideoSource::VideoSource(const QString& socketPath, int buffers, int width, int height)
    : buffers(buffers), width(width), height(height) {
    static const pw_stream_events events = [] {
        pw_stream_events e{};
        e.version = PW_VERSION_STREAM_EVENTS;
        e.param_changed = onParamChanged;
        return e;
    }();
    pw_init(nullptr, nullptr);
    loop = pw_thread_loop_new("test-source", nullptr);
    context = pw_context_new(pw_thread_loop_get_loop(loop), nullptr, 0);
    pw_thread_loop_start(loop);
    pw_thread_loop_lock(loop);
    const int fd = connectTo(socketPath);
    core = fd < 0 ? nullptr : pw_context_connect_fd(context, fd, nullptr, 0);
    if (core != nullptr) {
        stream = pw_stream_new(core, "koroncam-test-screen",
                               pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr));
        pw_stream_add_listener(stream, &listener, &events, this);
        std::uint8_t buffer[512];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof(buffer));
        spa_rectangle size{std::uint32_t(width), std::uint32_t(height)};
        spa_fraction rate{25, 1};
        const auto* format = static_cast<const spa_pod*>(spa_pod_builder_add_object(
            &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType,
            SPA_POD_Id(SPA_MEDIA_TYPE_video), SPA_FORMAT_mediaSubtype,
            SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
            SPA_POD_Id(SPA_VIDEO_FORMAT_BGRx), SPA_FORMAT_VIDEO_size, SPA_POD_Rectangle(&size),
            SPA_FORMAT_VIDEO_framerate, SPA_POD_Fraction(&rate)));
        pw_stream_connect(
            stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
            static_cast<pw_stream_flags>(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS),
            &format, 1);
    }
    pw_thread_loop_unlock(loop);
}

VideoSource::~VideoSource() {
    pw_thread_loop_lock(loop);
    if (stream != nullptr) {
        pw_stream_destroy(stream);
    }
    if (core != nullptr) {
        pw_core_disconnect(core);
    }
    pw_thread_loop_unlock(loop);
    pw_thread_loop_stop(loop);
    pw_context_destroy(context);
    pw_thread_loop_destroy(loop);
}

std::uint32_t VideoSource::node() {
    for (int waited = 0; stream != nullptr && waited < 5000; waited += 20) {
        pw_thread_loop_lock(loop);
        const std::uint32_t id = pw_stream_get_node_id(stream);
        pw_thread_loop_unlock(loop);
        if (id != SPA_ID_INVALID) {
            return id;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return 0;
}

bool VideoSource::show(QRgb colour) {
    pw_thread_loop_lock(loop);
    pw_buffer* buffer = stream == nullptr ? nullptr : pw_stream_dequeue_buffer(stream);
    if (buffer != nullptr) {
        spa_data& d = buffer->buffer->datas[0];
        std::fill_n(static_cast<std::uint32_t*>(d.data), width * height, colour);
        *d.chunk = {0, std::uint32_t(width * 4 * height), width * 4, 0};
        pw_stream_queue_buffer(stream, buffer);
    }
    pw_thread_loop_unlock(loop);
    return buffer != nullptr;
}

}  // namespace waylandtest
