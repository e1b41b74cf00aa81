#pragma once
// The separate PNG encoder library, loaded on first use.

#include <cstdint>
#include <QImage>
#include <QString>

namespace platform {

class PngLibrary {
public:
    virtual ~PngLibrary() = default;
    // Converts the BMP file into a PNG file; 0 on success, any other value on failure. A library
    // that cannot be loaded, or lacks its entry point, counts as a failure (non-zero).
    virtual int16_t bmpToPng(const QString& bmpPath, const QString& pngPath,
                             const QString& options) = 0;
    // Writes `picture` as the same PNG file that bmpToPng makes from the picture's BMP, straight
    // from memory; the same return values. A library without this entry point (an older copy)
    // counts as a failure, so that the caller can go the way through a BMP file instead.
    virtual int16_t pixelsToPng(const QImage& picture, const QString& pngPath,
                                const QString& options) = 0;
};

}  // namespace platform
