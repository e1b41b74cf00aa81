#include "timelapse/PictureReader.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>
#include <libdeflate.h>
#include <QFile>

namespace timelapse {
namespace {

constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
constexpr int kBytesPerPixel = 3;

uint32_t bigEndian(const uchar* at) {
    return uint32_t{at[0]} << 24 | uint32_t{at[1]} << 16 | uint32_t{at[2]} << 8 | at[3];
}

struct DecompressorFree {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

uchar paeth(int left, int up, int upLeft) {
    const int estimate = left + up - upLeft;
    const int toLeft = std::abs(estimate - left), toUp = std::abs(estimate - up),
              toUpLeft = std::abs(estimate - upLeft);
    return static_cast<uchar>(toLeft <= toUp && toLeft <= toUpLeft ? left
                              : toUp <= toUpLeft                   ? up
                                                                   : upLeft);
}

// Undoes the row filters in place: `rows` holds each row's filter byte and then its bytes. One
// loop per filter, so that the loops run without a branch per byte.
bool unfilter(uchar* rows, int width, int height) {
    const int length = width * kBytesPerPixel;
    const int bpp = kBytesPerPixel;
    const std::vector<uchar> zeros(size_t(length), 0);
    const uchar* up = zeros.data();  // the row above the first counts as zeros
    for (int y = 0; y < height; ++y, rows += length + 1) {
        uchar* row = rows + 1;
        switch (rows[0]) {
            case 0:
                break;
            case 1:
                for (int i = bpp; i < length; ++i) {
                    row[i] = uchar(row[i] + row[i - bpp]);
                }
                break;
            case 2:
                for (int i = 0; i < length; ++i) {
                    row[i] = uchar(row[i] + up[i]);
                }
                break;
            case 3:
                for (int i = 0; i < bpp; ++i) {
                    row[i] = uchar(row[i] + up[i] / 2);
                }
                for (int i = bpp; i < length; ++i) {
                    row[i] = uchar(row[i] + (row[i - bpp] + up[i]) / 2);
                }
                break;
            case 4:
                for (int i = 0; i < bpp; ++i) {
                    row[i] = uchar(row[i] + up[i]);
                }
                for (int i = bpp; i < length; ++i) {
                    row[i] = uchar(row[i] + paeth(row[i - bpp], up[i], up[i - bpp]));
                }
                break;
            default:
                return false;
        }
        up = row;
    }
    return true;
}

}  // namespace

QImage decodeRgbPng(const QByteArray& bytes) {
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    if (size < 33 || !bytes.startsWith(QByteArray::fromRawData(kSignature, 8))) {
        return {};
    }
    int width = 0, height = 0;
    QByteArray compressed;
    for (qsizetype at = 8; at + 12 <= size;) {
        const qsizetype length = bigEndian(data + at);
        const QByteArray type = bytes.mid(at + 4, 4);
        const uchar* body = data + at + 8;
        if (length > size - at - 12) {
            return {};
        }
        if (type == "IHDR") {
            // 8 bits, colour type 2 (RGB), deflate, adaptive filters, not interlaced.
            if (length != 13 || body[8] != 8 || body[9] != 2 || body[10] != 0 || body[11] != 0 ||
                body[12] != 0) {
                return {};
            }
            width = static_cast<int>(bigEndian(body));
            height = static_cast<int>(bigEndian(body + 4));
        } else if (type == "IDAT") {
            compressed.append(reinterpret_cast<const char*>(body), length);
        } else if (type == "IEND") {
            break;
        }
        at += length + 12;
    }
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return {};
    }
    thread_local std::unique_ptr<libdeflate_decompressor, DecompressorFree> decompressor(
        libdeflate_alloc_decompressor());
    const size_t expected = size_t(height) * (size_t(width) * kBytesPerPixel + 1);
    QByteArray rows(static_cast<qsizetype>(expected), Qt::Uninitialized);
    size_t actual = 0;
    if (!decompressor ||
        libdeflate_zlib_decompress(decompressor.get(), compressed.constData(),
                                   size_t(compressed.size()), rows.data(), expected,
                                   &actual) != LIBDEFLATE_SUCCESS ||
        actual != expected) {
        return {};
    }
    auto* filtered = reinterpret_cast<uchar*>(rows.data());
    if (!unfilter(filtered, width, height)) {
        return {};
    }
    QImage picture(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        const uchar* rgb = filtered + size_t(y) * (size_t(width) * kBytesPerPixel + 1) + 1;
        auto* out = reinterpret_cast<QRgb*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x, rgb += kBytesPerPixel) {
            out[x] = qRgb(rgb[0], rgb[1], rgb[2]);
        }
    }
    return picture;
}

QImage readPicture(const QString& file) {
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = input.readAll();
    QImage picture = decodeRgbPng(bytes);
    if (picture.isNull()) {
        picture = QImage::fromData(bytes);
    }
    if (!picture.isNull() && picture.format() != QImage::Format_RGB32) {
        picture = picture.convertToFormat(QImage::Format_RGB32);
    }
    return picture;
}

}  // namespace timelapse
