#include "platform/posix/DlPngLibrary.h"

#include <bit>

#include <dlfcn.h>

#include "platform/Files.h"
#include "pngsaver.h"

namespace platform {

DlPngLibrary::~DlPngLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

bool DlPngLibrary::load() {
    if (entry_ != nullptr) {
        return true;
    }
    if (handle_ == nullptr) {
        // The full path first: the program's RUNPATH does not reach a dlopen made through
        // an interposed wrapper (as under AddressSanitizer).
        const QByteArray own = (appFolder_ + QStringLiteral("/libpngsaver.so")).toUtf8();
        handle_ = dlopen(own.constData(), RTLD_NOW | RTLD_LOCAL);
    }
    if (handle_ == nullptr) {
        handle_ = dlopen("libpngsaver.so", RTLD_NOW | RTLD_LOCAL);
    }
    if (handle_ != nullptr) {
        entry_ = reinterpret_cast<Entry>(dlsym(handle_, "BmpToPng"));
        pixelsEntry_ = reinterpret_cast<PixelsEntry>(dlsym(handle_, "PixelsToPng"));
    }
    return entry_ != nullptr;
}

int16_t DlPngLibrary::bmpToPng(const QString& bmpPath, const QString& pngPath,
                               const QString& options) {
    if (!load()) {
        return PNGSAVER_ERR_NO_LIBRARY;
    }
    const int16_t result = entry_(bmpPath.toUtf8().constData(), pngPath.toUtf8().constData(),
                                  options.toUtf8().constData());
    if (result == PNGSAVER_OK) {
        reportOwnChange(pngPath);
    }
    return result;
}

int16_t DlPngLibrary::pixelsToPng(const QImage& picture, const QString& pngPath,
                                  const QString& options) {
    // The library takes blue, green, red, unused: RGB32's bytes on a little-endian machine only.
    if (!load() || pixelsEntry_ == nullptr || std::endian::native != std::endian::little) {
        return PNGSAVER_ERR_NO_LIBRARY;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
    const int16_t result = pixelsEntry_(rgb.constBits(), uint32_t(rgb.width()),
                                        uint32_t(rgb.height()), uint32_t(rgb.bytesPerLine()),
                                        pngPath.toUtf8().constData(), options.toUtf8().constData());
    if (result == PNGSAVER_OK) {
        reportOwnChange(pngPath);
    }
    return result;
}

}  // namespace platform
