#pragma once
// Reading stored pictures fast enough to feed a video encoder: the program's own PNG files (8-bit
// RGB, not interlaced) are decoded here with libdeflate, which inflates several times faster than
// zlib; every other picture (BMP, other PNG kinds) is read by Qt.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace timelapse {

// The picture in `file` as Format_RGB32; a null image when it cannot be read.
QImage readPicture(const QString& file);

// The program's kind of PNG, decoded here; a null image for any other kind or a damaged file.
QImage decodeRgbPng(const QByteArray& bytes);

}  // namespace timelapse
