#pragma once

#include <utility>

#include "platform/PngLibrary.h"

namespace platform {

// libpngsaver.so, loaded on first use from the program's folder, else by its bare name from the
// system's library folders; BmpToPng is resolved once. A library that cannot be loaded is tried
// again at the next call, so one put in place later is found.
class DlPngLibrary : public PngLibrary {
public:
    // `appFolder` is the program's folder, searched first.
    explicit DlPngLibrary(QString appFolder) : appFolder_(std::move(appFolder)) {}
    ~DlPngLibrary() override;
    DlPngLibrary(const DlPngLibrary&) = delete;
    DlPngLibrary& operator=(const DlPngLibrary&) = delete;
    int16_t bmpToPng(const QString& bmpPath, const QString& pngPath,
                     const QString& options) override;

private:
    using Entry = int16_t (*)(const char*, const char*, const char*);
    QString appFolder_;
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
};

}  // namespace platform
