#pragma once
// The separate PNG encoder library, loaded on first use.

#include <cstdint>
#include <QString>

namespace platform {

class PngLibrary {
public:
    virtual ~PngLibrary() = default;
    // Converts the BMP file into a PNG file; 0 on success, any other value on failure. A library
    // that cannot be loaded, or lacks its entry point, counts as a failure (non-zero).
    virtual int16_t bmpToPng(const QString& bmpPath, const QString& pngPath,
                             const QString& options) = 0;
};

}  // namespace platform
