#include "timelapse/VideoExport.h"

#include <algorithm>
#include <deque>
#include <future>
#include <optional>
#include <QImageReader>
#include <QPainter>
#include <QStringList>

#include "platform/Screen.h"
#include "timelapse/PictureReader.h"

namespace timelapse {
namespace {

// Pictures are read in batches, each on a thread of its own, a few batches ahead.
constexpr qsizetype kBatch = 16;
constexpr size_t kBatchesAhead = 4;
// A held picture is given to the encoder in chunks, so that a cancel is seen within a chunk.
constexpr int64_t kChunk = 60;

QSize evenSize(QSize size) {
    return {size.width() + size.width() % 2, size.height() + size.height() % 2};
}

// The size of the first picture of the range that tells one, else the program's own.
QSize firstPictureSize(const std::vector<TimedPicture>& pictures, int from, int to) {
    for (int i = std::max(from, 0); i <= to && i < static_cast<int>(pictures.size()); ++i) {
        const QSize size = QImageReader(pictures[i].file).size();
        if (size.isValid() && !size.isEmpty()) {
            return size;
        }
    }
    return {platform::kPictureWidth, platform::kPictureHeight};
}

}  // namespace

QSize videoSize(const std::vector<TimedPicture>& pictures, int from, int to) {
    return evenSize(firstPictureSize(pictures, from, to));
}

QImage fitToFrame(const QImage& picture, QSize frame, QSize pictureSize) {
    if (picture.size() == frame && picture.format() == QImage::Format_RGB32) {
        return picture;
    }
    QImage fitted(frame, QImage::Format_RGB32);
    fitted.fill(Qt::black);
    QPainter painter(&fitted);
    if (picture.size() == pictureSize) {
        painter.drawImage(0, 0, picture);
    } else {
        const QSize scaled = picture.size().scaled(pictureSize, Qt::KeepAspectRatio);
        const QRect target(QPoint((pictureSize.width() - scaled.width()) / 2,
                                  (pictureSize.height() - scaled.height()) / 2),
                           scaled);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(target, picture);
    }
    return fitted;
}

ExportResult exportVideo(const ExportRequest& request, ExportProgress& progress) {
    const std::vector<FrameRun> plan =
        planFrames(request.pictures, request.from, request.to, request.gaps);
    // Every picture is fitted as the first one fits the frame.
    const QSize fitInto = firstPictureSize(request.pictures, request.from, request.to);
    const QSize frame = evenSize(fitInto);

    ExportResult result;
    std::unique_ptr<platform::VideoEncoder> video =
        platform::startVideo({request.path, frame, request.framesPerSecond, request.format});

    // Batches of pictures read ahead, each on a thread of its own, while the encoder works.
    std::deque<std::future<std::vector<QImage>>> ahead;
    size_t nextToRead = 0;
    auto readAhead = [&] {
        while (nextToRead < plan.size() && ahead.size() < kBatchesAhead) {
            QStringList files;
            for (; nextToRead < plan.size() && files.size() < kBatch; ++nextToRead) {
                files << request.pictures[size_t(plan[nextToRead].picture)].file;
            }
            ahead.push_back(std::async(std::launch::async, [files, frame, fitInto] {
                std::vector<QImage> pictures;
                for (const QString& file : files) {
                    const QImage picture = readPicture(file);
                    pictures.push_back(picture.isNull() ? QImage()
                                                        : fitToFrame(picture, frame, fitInto));
                }
                return pictures;
            }));
        }
    };
    std::vector<QImage> batch;
    size_t inBatch = 0;

    QImage last(frame, QImage::Format_RGB32);
    last.fill(Qt::black);
    for (const FrameRun& run : plan) {
        if (inBatch == batch.size()) {
            readAhead();
            batch = ahead.front().get();
            ahead.pop_front();
            inBatch = 0;
        }
        QImage picture = std::move(batch[inBatch++]);
        if (picture.isNull()) {
            ++result.unreadable;
        } else {
            last = std::move(picture);
        }
        for (int64_t done = 0; done < run.frames; done += kChunk) {
            if (progress.cancel.load()) {
                result.cancelled = true;
                return result;  // the encoder, dropped unfinished, removes its file
            }
            const int64_t frames = std::min(kChunk, run.frames - done);
            video->addFrames(last, frames);
            result.frames += frames;
            progress.framesDone.store(result.frames);
        }
    }
    if (progress.cancel.load()) {
        result.cancelled = true;
        return result;
    }
    video->finish();
    return result;
}

}  // namespace timelapse
