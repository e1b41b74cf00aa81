#include "app/BmpFile.h"

#include <bit>
#include <cstdint>
#include <cstring>

#include "platform/Errors.h"
#include "platform/AtomicFile.h"

namespace app {
namespace {

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;

void put16(char* at, uint16_t value) {
    at[0] = static_cast<char>(value & 0xff);
    at[1] = static_cast<char>(value >> 8);
}

void put32(char* at, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<char>((value >> (8 * i)) & 0xff);
    }
}

}  // namespace

QByteArray encodeBmp(const QImage& image) {
    // A picture box keeps RGB32: its pixels are read as they are, without a converted copy.
    const bool rgb32 = image.format() == QImage::Format_RGB32;
    const QImage rgb = rgb32 ? image : image.convertToFormat(QImage::Format_RGB888);
    const int width = rgb.width();
    const int height = rgb.height();
    const int stride = (width * 3 + 3) & ~3;
    const int offset = kFileHeaderSize + kInfoHeaderSize;
    const int fileSize = offset + stride * height;

    // Not zero-filled: every byte is written below, the header's and the rows' padding as zeros.
    QByteArray bytes(fileSize, Qt::Uninitialized);
    char* out = bytes.data();
    std::memset(out, 0, offset);
    out[0] = 'B';
    out[1] = 'M';
    put32(out + 2, static_cast<uint32_t>(fileSize));
    put32(out + 10, offset);
    put32(out + 14, kInfoHeaderSize);
    put32(out + 18, static_cast<uint32_t>(width));
    put32(out + 22, static_cast<uint32_t>(height));  // positive: rows run bottom-up
    put16(out + 26, 1);                              // planes
    put16(out + 28, 24);                             // bits per pixel
    put32(out + 34, static_cast<uint32_t>(stride * height));
    put32(out + 38, 3780);  // 96 dpi in pixels per metre
    put32(out + 42, 3780);

    for (int y = 0; y < height; ++y) {
        char* dst = out + offset + static_cast<qsizetype>(height - 1 - y) * stride;
        std::memset(dst + 3 * width, 0, stride - 3 * width);
        if (rgb32) {
            const auto* src = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            int x = 0;
            if constexpr (std::endian::native == std::endian::little) {
                // In memory such a pixel is blue, green, red and one more byte, which the next
                // pixel's store overwrites: all but the row's last pixel go in one store each.
                for (; x + 1 < width; ++x) {
                    std::memcpy(dst + 3 * x, src + x, 4);
                }
            }
            for (; x < width; ++x) {
                dst[3 * x + 0] = static_cast<char>(qBlue(src[x]));
                dst[3 * x + 1] = static_cast<char>(qGreen(src[x]));
                dst[3 * x + 2] = static_cast<char>(qRed(src[x]));
            }
            continue;
        }
        const uchar* src = rgb.constScanLine(y);
        for (int x = 0; x < width; ++x) {
            dst[3 * x + 0] = static_cast<char>(src[3 * x + 2]);  // BMP keeps blue first
            dst[3 * x + 1] = static_cast<char>(src[3 * x + 1]);
            dst[3 * x + 2] = static_cast<char>(src[3 * x + 0]);
        }
    }
    return bytes;
}

void saveBmp(const QImage& image, const QString& path) {
    try {
        platform::replaceFile(path, encodeBmp(image));
    } catch (const platform::Error& e) {
        throw platform::Error(QStringLiteral("画像ファイルを保存できませんでした。\r\n%1\r\n%2")
                                  .arg(path, e.message()));
    }
}

}  // namespace app
