#pragma once
// Pictures are stored as uncompressed 24-bit BMP files.

#include <QByteArray>
#include <QImage>
#include <QString>

namespace app {

// The BMP file's bytes for `image`: 24 bits per pixel, bottom-up rows padded to 4 bytes.
QByteArray encodeBmp(const QImage& image);

// Writes `image` as a BMP file under `path`, replacing an existing file. The file is written under
// a temporary name in the same folder and renamed into place, so a crash leaves the old file or
// the new one. Throws platform::Error naming the file and the reason.
void saveBmp(const QImage& image, const QString& path);

}  // namespace app
