// Short exports written with the real encoders and read back with ffprobe and ffmpeg: the frame
// count, the size and every frame's colours, with gaps left out and held; the fitting of pictures
// of other sizes; a failure that leaves no file; the reading of pictures.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "Pictures.h"
#include "app/BmpFile.h"
#include "platform/Errors.h"
#include "pngsaver.h"
#include "timelapse/PictureReader.h"
#include "timelapse/VideoExport.h"

using platform::VideoFormat;
using testing_support::kStart;
using testing_support::savePicture;
using timelapse::Gaps;

namespace {

const QColor kLeft[] = {Qt::red, Qt::green, Qt::white, Qt::cyan};
const QColor kRight[] = {Qt::blue, Qt::yellow, Qt::black, Qt::magenta};

bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 12 && std::abs(a.green() - b.green()) < 12 &&
           std::abs(a.blue() - b.blue()) < 12;
}

class VideoExportTest : public testing::Test {
protected:
    void SetUp() override {
        // Seconds 0, 1, 4 and 5: a gap of two seconds; the third picture a BMP.
        const int64_t seconds[] = {0, 1, 4, 5};
        for (int i = 0; i < 4; ++i) {
            pictures.push_back(savePicture(dir.path(), kStart + seconds[i], kLeft[i], kRight[i],
                                           i == 2 ? ".bmp" : ".png"));
        }
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden); }

    QTemporaryDir dir;
    std::vector<timelapse::TimedPicture> pictures;
};

struct ExportCase {
    const char* what;
    Gaps gaps;
    VideoFormat format;
    int framesPerSecond;
    bool thirdDeleted;
    std::vector<int> shown;  // the picture each frame shows
    const char* codec;
};

}  // namespace

TEST_F(VideoExportTest, FramesShowThePicturesOfThePlan) {
    const ExportCase cases[] = {
        {"MP4, gaps left out", Gaps::LeaveOut, VideoFormat::Mp4, 30, false, {0, 1, 2, 3}, "h264"},
        {"MP4, gaps held", Gaps::Hold, VideoFormat::Mp4, 10, false, {0, 1, 1, 1, 2, 3}, "h264"},
        {"WebM, gaps held", Gaps::Hold, VideoFormat::WebM, 60, false, {0, 1, 1, 1, 2, 3}, "vp9"},
        {"a picture deleted meanwhile",
         Gaps::LeaveOut,
         VideoFormat::Mp4,
         30,
         true,
         {0, 1, 1, 3},
         "h264"},
    };
    for (const ExportCase& c : cases) {
        if (c.thirdDeleted) {
            QFile::remove(pictures[2].file);
        }
        const QString path = dir.filePath(QString("video") + platform::videoExtension(c.format));
        timelapse::ExportProgress progress;
        const timelapse::ExportResult result = timelapse::exportVideo(
            {pictures, 0, 3, c.gaps, c.framesPerSecond, c.format, path}, progress);
        EXPECT_EQ(result.unreadable, c.thirdDeleted ? 1 : 0) << c.what;
        EXPECT_EQ(progress.framesDone.load(), int64_t(c.shown.size())) << c.what;

        const testing_support::Video video = testing_support::readVideo(path);
        EXPECT_EQ(video.codec, c.codec) << c.what;
        EXPECT_EQ(video.pixelFormat, "yuv420p") << c.what;
        EXPECT_EQ(QSize(video.width, video.height), QSize(386, 300)) << c.what;
        ASSERT_EQ(video.frames.size(), c.shown.size()) << c.what;
        for (size_t f = 0; f < c.shown.size(); ++f) {
            EXPECT_TRUE(near(video.frames[f].pixelColor(50, 150), kLeft[c.shown[f]]) &&
                        near(video.frames[f].pixelColor(336, 150), kRight[c.shown[f]]))
                << c.what << ", frame " << f;
        }
        QFile::remove(path);
    }
}

TEST(FitToFrameTest, PicturesOfOtherSizesAreFittedTheSameWay) {
    struct Case {
        QSize picture, range;
        QPoint coloured, black;
    };
    const Case cases[] = {
        {{385, 299}, {385, 299}, {384, 298}, {385, 299}},  // as it is, a black column and row
        {{193, 150}, {386, 300}, {385, 299}, {-1, -1}},    // half the size: scaled to the whole
        {{100, 300}, {386, 300}, {193, 150}, {10, 150}},   // narrower: centred between black
    };
    for (const Case& c : cases) {
        QImage picture(c.picture, QImage::Format_RGB32);
        picture.fill(Qt::red);
        const QImage fitted = timelapse::fitToFrame(picture, {386, 300}, c.range);
        ASSERT_EQ(fitted.size(), QSize(386, 300));
        EXPECT_EQ(fitted.pixelColor(c.coloured), QColor(Qt::red)) << c.picture.width();
        if (c.black.x() >= 0) {
            EXPECT_EQ(fitted.pixelColor(c.black), QColor(Qt::black)) << c.picture.width();
        }
    }
    QTemporaryDir dir;
    QImage odd(385, 299, QImage::Format_RGB32);
    odd.save(dir.filePath("odd.png"));
    EXPECT_EQ(
        timelapse::videoSize({{dir.filePath("gone.png"), 0}, {dir.filePath("odd.png"), 1}}, 0, 1),
        QSize(386, 300));
}

// (A cancel through キャンセル is tested with the export window.)
TEST_F(VideoExportTest, AFailureLeavesNoFileAndNamesIt) {
    const QStringList before = files();
    timelapse::ExportProgress progress;
    const QString nowhere = dir.filePath("no such folder/video.mp4");
    try {
        timelapse::exportVideo({pictures, 0, 3, Gaps::LeaveOut, 30, VideoFormat::Mp4, nowhere},
                               progress);
        ADD_FAILURE() << "a video in a missing folder was reported written";
    } catch (const platform::Error& error) {
        EXPECT_TRUE(error.message().contains(nowhere)) << error.message().toStdString();
    }
    EXPECT_EQ(files(), before);
}

// The pixels alone (QImage's own comparison also compares the colour spaces that files name).
static QByteArray pixels(const QImage& picture) {
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    return QByteArray(reinterpret_cast<const char*>(rgb.constBits()), rgb.sizeInBytes());
}

TEST(PictureReaderTest, ReadsThePicturesAsQtDoes) {
    QTemporaryDir dir;
    for (const char* screen : {"crop_photo", "crop_term", "crop_ui"}) {
        const QImage crop = QImage(QString(KORONCAM_TEST_DATA "/screens/") + screen + ".png")
                                .convertToFormat(QImage::Format_RGB32);
        const QString bmp = dir.filePath(QString(screen) + ".bmp");
        const QString png = dir.filePath(QString(screen) + ".png");
        app::saveBmp(crop, bmp);
        ASSERT_EQ(BmpToPng(bmp.toUtf8().constData(), png.toUtf8().constData(), "c6"), 0);
        // The program's own PNG (every row filter), decoded here and not by Qt, its BMP, and a
        // PNG of another kind.
        QFile own(png);
        ASSERT_TRUE(own.open(QIODevice::ReadOnly));
        EXPECT_EQ(pixels(timelapse::decodeRgbPng(own.readAll())), pixels(crop)) << screen;
        EXPECT_EQ(pixels(timelapse::readPicture(png)), pixels(crop)) << screen;
        EXPECT_EQ(pixels(timelapse::readPicture(bmp)), pixels(crop)) << screen;
        crop.convertToFormat(QImage::Format_ARGB32).save(png);
        EXPECT_EQ(pixels(timelapse::readPicture(png)), pixels(crop)) << screen;
        QFile file(png);
        file.resize(file.size() / 2);
        EXPECT_TRUE(timelapse::readPicture(png).isNull()) << screen << ", cut short";
    }
}
