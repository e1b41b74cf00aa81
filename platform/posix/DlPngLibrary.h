#pragma once

#include <utility>

#include "platform/PngLibrary.h"

namespace platform {

// libpngsaver.so, loaded on first use from the program's folder, else by its bare name from the
// system's library folders; BmpToPng and PixelsToPng are resolved once. A library that cannot be
// loaded is tried again at the next call, so one put in place later is found.
class DlPngLibrary : public PngLibrary {
public:
    // `appFolder` is the program's folder, searched first.
    explicit DlPngLibrary(QString appFolder) : appFolder_(std::move(appFolder)) {}
    ~DlPngLibrary() override;
    DlPngLibrary(const DlPngLibrary&) = delete;
    DlPngLibrary& operator=(const DlPngLibrary&) = delete;
    int16_t bmpToPng(const QString& bmpPath, const QString& pngPath,
                     const QString& options) override;
    int16_t pixelsToPng(const QImage& picture, const QString& pngPath,
                        const QString& options) override;

private:
    using Entry = int16_t (*)(const char*, const char*, const char*);
    using PixelsEntry = int16_t (*)(const uint8_t*, uint32_t, uint32_t, uint32_t, const char*,
                                    const char*);
    // Loads the library where it is not loaded yet; false when it cannot be.
    bool load();

    QString appFolder_;
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
    PixelsEntry pixelsEntry_ = nullptr;
};

}  // namespace platform
