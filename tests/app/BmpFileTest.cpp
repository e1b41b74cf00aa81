// A picture box's RGB32 picture is written straight from its pixels: the file must be the one
// that the pixels converted to 8-bit RGB first give, for every row padding, with zeros where the
// format leaves bytes unused.
#include <gtest/gtest.h>
#include <QRandomGenerator>

#include "app/BmpFile.h"

namespace {

TEST(EncodeBmp, Rgb32GivesTheFileOfItsRgbPixels) {
    QRandomGenerator random(19);
    for (int width : {1, 2, 3, 4, 5, 386}) {
        SCOPED_TRACE(width);
        QImage picture(width, 7, QImage::Format_RGB32);
        for (int y = 0; y < picture.height(); ++y) {
            for (int x = 0; x < width; ++x) {
                picture.setPixel(x, y, random.generate() | 0xff000000u);
            }
        }
        const QByteArray bytes = app::encodeBmp(picture);
        EXPECT_EQ(bytes, app::encodeBmp(picture.convertToFormat(QImage::Format_RGB888)));
        EXPECT_EQ(QImage::fromData(bytes, "BMP").convertToFormat(QImage::Format_RGB32), picture);
        // The buffer is not zero-filled first: the reserved header fields and each row's padding
        // must still be zeros, or files of the same screen would differ.
        const int stride = (width * 3 + 3) & ~3;
        for (int at : {6, 7, 8, 9, 30, 31, 32, 33, 46, 47, 48, 49, 50, 51, 52, 53}) {
            EXPECT_EQ(bytes[at], '\0') << "header byte " << at;
        }
        for (int y = 0; y < picture.height(); ++y) {
            for (int at = 54 + y * stride + width * 3; at < 54 + (y + 1) * stride; ++at) {
                EXPECT_EQ(bytes[at], '\0') << "padding byte " << at;
            }
        }
    }
}

}  // namespace
