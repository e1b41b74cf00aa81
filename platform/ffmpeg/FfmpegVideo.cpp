#include "platform/ffmpeg/FfmpegVideo.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <QFile>

#include "platform/Errors.h"
#include "platform/SystemError.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace platform {
namespace {

// FFmpeg's own codes are far from the errno values, which it gives as AVERROR(errno).
constexpr int kLargestErrno = 4095;

struct CodecFree {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct FrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScaleFree {
    void operator()(SwsContext* scale) const { sws_freeContext(scale); }
};

// A hidden name beside `target` that matches no picture pattern; the file exists (empty) after.
QByteArray makeTemporary(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    QByteArray temp = (slash >= 0 ? target.left(slash + 1) : QByteArray()) + ".koroncam-XXXXXX.tmp";
    const int fd = ::mkstemps(temp.data(), 4);
    if (fd < 0) {
        throw Error(QStringLiteral("動画のファイル %1 を作れません。\r\n%2")
                        .arg(QFile::decodeName(target), describeError(errno)));
    }
    ::close(fd);
    return temp;
}

class FfmpegVideo : public VideoEncoder {
public:
    explicit FfmpegVideo(const VideoSettings& settings)
        : target_(QFile::encodeName(settings.path)), temp_(makeTemporary(target_)) {
        try {
            open(settings);
        } catch (...) {
            discard();
            throw;
        }
    }
    ~FfmpegVideo() override { discard(); }
    FfmpegVideo(const FfmpegVideo&) = delete;
    FfmpegVideo& operator=(const FfmpegVideo&) = delete;

    void addFrames(const QImage& picture, int64_t repeat) override {
        const QImage rgb = picture.format() == QImage::Format_RGB32
                               ? picture
                               : picture.convertToFormat(QImage::Format_RGB32);
        check(av_frame_make_writable(frame_.get()), kEncodingFailed);
        const uint8_t* planes[] = {rgb.constBits()};
        const int strides[] = {static_cast<int>(rgb.bytesPerLine())};
        check(sws_scale(scale_.get(), planes, strides, 0, rgb.height(), frame_->data,
                        frame_->linesize),
              kEncodingFailed);
        for (int64_t i = 0; i < repeat; ++i) {
            frame_->pts = nextPts_++;
            check(avcodec_send_frame(codec_.get(), frame_.get()), kEncodingFailed);
            writePackets();
        }
    }

    void finish() override {
        check(avcodec_send_frame(codec_.get(), nullptr), kEncodingFailed);
        writePackets();
        check(av_write_trailer(format_), kWritingFailed);
        closeFile();
        // The video reaches the disk before its name does, so a crash leaves no half file.
        const int fd = ::open(temp_.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::fsync(fd) != 0 || ::rename(temp_.constData(), target_.constData()) != 0) {
            const int error = errno;
            if (fd >= 0) {
                ::close(fd);
            }
            fail(kWritingFailed, describeError(error));
        }
        ::close(fd);
        temp_.clear();
    }

private:
    static inline const QString kWritingFailed =
        QStringLiteral("動画のファイル %1 を書けません。\r\n%2");
    static inline const QString kEncodingFailed =
        QStringLiteral("動画 %1 の符号化に失敗しました。\r\n%2");

    void open(const VideoSettings& settings) {
        const bool mp4 = settings.format == VideoFormat::Mp4;
        check(avformat_alloc_output_context2(&format_, nullptr, mp4 ? "mp4" : "webm",
                                             temp_.constData()),
              kWritingFailed);
        const AVCodec* codec = avcodec_find_encoder_by_name(mp4 ? "libx264" : "libvpx-vp9");
        if (codec == nullptr) {
            fail(kEncodingFailed,
                 QStringLiteral(
                     "符号化ライブラリ %1 がありません。FFmpeg のライブラリを入れ直してください。")
                     .arg(mp4 ? "libx264" : "libvpx-vp9"));
        }
        codec_.reset(avcodec_alloc_context3(codec));
        AVCodecContext* c = codec_.get();
        c->width = settings.size.width();
        c->height = settings.size.height();
        c->time_base = {1, settings.framesPerSecond};
        c->framerate = {settings.framesPerSecond, 1};
        c->pix_fmt = AV_PIX_FMT_YUV420P;
        // What swscale's conversion gives, so that players show the colours as they were.
        c->color_range = AVCOL_RANGE_MPEG;
        c->colorspace = AVCOL_SPC_SMPTE170M;
        c->color_primaries = AVCOL_PRI_SMPTE170M;
        c->color_trc = AVCOL_TRC_SMPTE170M;
        c->thread_count = 0;  // as many as the machine has
        if (format_->oformat->flags & AVFMT_GLOBALHEADER) {
            c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        }
        AVDictionary* options = nullptr;
        if (!mp4) {
            // Constant quality; the default speed of libvpx takes minutes for an hour of pictures.
            av_dict_set(&options, "crf", "32", 0);
            av_dict_set(&options, "b", "0", 0);
            av_dict_set(&options, "deadline", "good", 0);
            av_dict_set(&options, "cpu-used", "4", 0);
            av_dict_set(&options, "row-mt", "1", 0);
        }
        const int opened = avcodec_open2(c, codec, &options);
        av_dict_free(&options);
        check(opened, kEncodingFailed);

        stream_ = avformat_new_stream(format_, nullptr);
        if (stream_ == nullptr) {
            check(AVERROR(ENOMEM), kEncodingFailed);
        }
        stream_->time_base = c->time_base;
        check(avcodec_parameters_from_context(stream_->codecpar, c), kEncodingFailed);
        check(avio_open(&format_->pb, temp_.constData(), AVIO_FLAG_WRITE), kWritingFailed);
        AVDictionary* muxing = nullptr;
        if (mp4) {
            av_dict_set(&muxing, "movflags", "+faststart", 0);  // playable while it downloads
        }
        const int header = avformat_write_header(format_, &muxing);
        av_dict_free(&muxing);
        check(header, kWritingFailed);

        frame_.reset(av_frame_alloc());
        packet_.reset(av_packet_alloc());
        if (!frame_ || !packet_) {
            check(AVERROR(ENOMEM), kEncodingFailed);
        }
        frame_->format = c->pix_fmt;
        frame_->width = c->width;
        frame_->height = c->height;
        check(av_frame_get_buffer(frame_.get(), 0), kEncodingFailed);
        scale_.reset(sws_getContext(c->width, c->height, AV_PIX_FMT_RGB32, c->width, c->height,
                                    c->pix_fmt, SWS_BILINEAR, nullptr, nullptr, nullptr));
        if (!scale_) {
            check(AVERROR(ENOMEM), kEncodingFailed);
        }
    }

    void writePackets() {
        for (;;) {
            const int received = avcodec_receive_packet(codec_.get(), packet_.get());
            if (received == AVERROR(EAGAIN) || received == AVERROR_EOF) {
                return;
            }
            check(received, kEncodingFailed);
            // Every frame lasts one tick. Without it the MP4 muxer ends its edit list at the last
            // frame's start, and players drop that frame.
            if (packet_->duration == 0) {
                packet_->duration = 1;
            }
            av_packet_rescale_ts(packet_.get(), codec_->time_base, stream_->time_base);
            packet_->stream_index = stream_->index;
            check(av_interleaved_write_frame(format_, packet_.get()), kWritingFailed);
        }
    }

    void check(int code, const QString& message) {
        if (code < 0) {
            fail(message, describeAvError(code));
        }
    }
    [[noreturn]] void fail(const QString& message, const QString& reason) {
        throw Error(message.arg(QFile::decodeName(target_), reason));
    }

    void closeFile() {
        if (format_ != nullptr && format_->pb != nullptr) {
            if (const int closed = avio_closep(&format_->pb); closed < 0) {
                check(closed, kWritingFailed);
            }
        }
    }

    void discard() noexcept {
        if (format_ != nullptr && format_->pb != nullptr) {
            avio_closep(&format_->pb);
        }
        avformat_free_context(format_);
        format_ = nullptr;
        if (!temp_.isEmpty()) {
            ::unlink(temp_.constData());
            temp_.clear();
        }
    }

    QByteArray target_;
    QByteArray temp_;  // empty once renamed into place or removed
    AVFormatContext* format_ = nullptr;
    AVStream* stream_ = nullptr;  // owned by format_
    std::unique_ptr<AVCodecContext, CodecFree> codec_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> packet_;
    std::unique_ptr<SwsContext, ScaleFree> scale_;
    int64_t nextPts_ = 0;
};

}  // namespace

QString describeAvError(int code) {
    if (code < 0 && -code <= kLargestErrno) {
        return describeError(-code);
    }
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QStringLiteral("FFmpeg のエラーです。(%1)").arg(QString::fromUtf8(text));
}

std::unique_ptr<VideoEncoder> startVideo(const VideoSettings& settings) {
    av_log_set_level(AV_LOG_ERROR);  // the libraries' notes are no business of the user's
    return std::make_unique<FfmpegVideo>(settings);
}

QString videoExtension(VideoFormat format) {
    return format == VideoFormat::Mp4 ? QStringLiteral(".mp4") : QStringLiteral(".webm");
}

}  // namespace platform
