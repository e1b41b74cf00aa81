#include "platform/posix/DlPngLibrary.h"

#include <dlfcn.h>

#include "platform/Files.h"
#include "pngsaver.h"

namespace platform {

DlPngLibrary::~DlPngLibrary() {
    if (handle_ != nullptr) {
        dlclose(handle_);
    }
}

int16_t DlPngLibrary::bmpToPng(const QString& bmpPath, const QString& pngPath,
                               const QString& options) {
    if (entry_ == nullptr) {
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
        }
        if (entry_ == nullptr) {
            return PNGSAVER_ERR_NO_LIBRARY;
        }
    }
    const int16_t result = entry_(bmpPath.toUtf8().constData(), pngPath.toUtf8().constData(),
                                  options.toUtf8().constData());
    if (result == PNGSAVER_OK) {
        reportOwnChange(pngPath);
    }
    return result;
}

}  // namespace platform
