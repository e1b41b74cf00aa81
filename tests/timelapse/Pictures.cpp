#include "Pictures.h"

#include <QDateTime>
#include <QPainter>
#include <QProcess>

namespace testing_support {
namespace {

QByteArray run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    return process.readAllStandardOutput();
}

}  // namespace

timelapse::TimedPicture savePicture(const QString& folder, int64_t time, QColor left, QColor right,
                                    const char* extension) {
    QImage picture(386, 300, QImage::Format_RGB32);
    picture.fill(left);
    QPainter(&picture).fillRect(193, 0, 193, 300, right);
    const QString name =
        QDateTime::fromSecsSinceEpoch(time, Qt::UTC).toString("'kcPic'yyyy-MM-dd-HH-mm-ss");
    const QString file = folder + "/" + name + extension;
    picture.save(file);
    return {file, time};
}

Video readVideo(const QString& path) {
    Video video;
    const QList<QByteArray> fields =
        run("ffprobe", {"-v", "error", "-select_streams", "v:0", "-show_entries",
                        "stream=codec_name,pix_fmt,width,height", "-of", "csv=p=0", path})
            .trimmed()
            .split(',');
    if (fields.size() != 4) {
        return video;
    }
    video.codec = fields[0];
    video.width = fields[1].toInt();
    video.height = fields[2].toInt();
    video.pixelFormat = fields[3];
    const QByteArray raw =
        run("ffmpeg", {"-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    const qsizetype frameBytes = qsizetype(video.width) * video.height * 3;
    for (qsizetype at = 0; frameBytes > 0 && at + frameBytes <= raw.size(); at += frameBytes) {
        video.frames.push_back(QImage(reinterpret_cast<const uchar*>(raw.constData() + at),
                                      video.width, video.height, video.width * 3,
                                      QImage::Format_RGB888)
                                   .copy());
    }
    return video;
}

}  // namespace testing_support
