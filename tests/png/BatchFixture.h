#pragma once
// A picture folder of BMP pictures for the batch compression, and a libpng decoder to check what
// the encoder wrote.

#include <map>
#include <memory>
#include <gtest/gtest.h>
#include <png.h>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QPushButton>

#include "app/BmpFile.h"
#include "platform/Files.h"
#include "png/frmPng.h"
#include "support/FakePlatform.h"

namespace batch_test {

// A picture whose every pixel depends on `seed`, so pictures differ from each other. An odd width
// makes the BMP rows padded.
inline QImage pattern(int seed, int width = 7, int height = 5) {
    QImage image(width, height, QImage::Format_RGB888);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.setPixelColor(x, y,
                                QColor((seed * 53 + x * 31) % 256, (seed * 17 + y * 71) % 256,
                                       (seed * 97 + x * y * 13) % 256));
        }
    }
    return image;
}

// The PNG file decoded by libpng as 8-bit RGB; a null image when it cannot be read.
inline QImage decodePng(const QString& path) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, QFile::encodeName(path).constData())) {
        return {};
    }
    png.format = PNG_FORMAT_RGB;
    QImage image(int(png.width), int(png.height), QImage::Format_RGB888);
    if (!png_image_finish_read(&png, nullptr, image.bits(), int(image.bytesPerLine()), nullptr)) {
        png_image_free(&png);
        return {};
    }
    return image;
}

}  // namespace batch_test

class BatchTest : public ::testing::Test {
protected:
    testing_support::FakePlatform fake;
    QString folder;  // the picture folder as the settings hold it, with its final "/"
    std::map<QString, QImage> written;  // BMP name -> its picture
    std::unique_ptr<frmPng> form;

    BatchTest() {
        platform::fileHooks() = {};
        folder = fake.appFolder() + QStringLiteral("/pics/");
        QDir().mkpath(folder);
    }
    ~BatchTest() override { platform::fileHooks() = {}; }

    // Stores a BMP picture named `name` in the folder.
    void putBmp(const QString& name, int seed) {
        written[name] = batch_test::pattern(seed);
        testing_support::writeFile(folder + name, app::encodeBmp(written[name]));
    }
    // kcPic1.bmp … kcPicN.bmp
    void putBmps(int count) {
        for (int i = 1; i <= count; ++i) {
            putBmp(QStringLiteral("kcPic%1.bmp").arg(i), i);
        }
    }

    // Opens the window as the main window does (shown; the run is driven by hand).
    void open() {
        form = std::make_unique<frmPng>(folder);
        form->show();
    }

    QStringList files(const QString& pattern = QStringLiteral("*")) const {
        return QDir(folder).entryList({pattern}, QDir::Files, QDir::Name);
    }
    template <class W>
    W* child(const char* name) const {
        return form->findChild<W*>(QString::fromLatin1(name));
    }
    QLabel* label1() const { return child<QLabel>("Label1"); }
    QLabel* label2() const { return child<QLabel>("Label2"); }
    QPushButton* start() const { return child<QPushButton>("cmdStart"); }
    QPushButton* cancel() const { return child<QPushButton>("cmdCancel"); }

    // Records the gauge's text at every yield of the run.
    void recordGauge() {
        fake.ui.onDoEvents = [this] { gaugeSeen.push_back(label2()->text()); };
    }
    std::vector<QString> gaugeSeen;

    // The PNG is the BMP's picture, pixel for pixel.
    void expectPngOf(const QString& bmpName, const QString& pngName) const {
        SCOPED_TRACE(pngName.toStdString());
        const QImage decoded = batch_test::decodePng(folder + pngName);
        ASSERT_FALSE(decoded.isNull()) << "not a PNG libpng can read";
        EXPECT_EQ(decoded, written.at(bmpName));
    }
};
