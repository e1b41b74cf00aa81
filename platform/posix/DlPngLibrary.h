#pragma once

#include "platform/PngLibrary.h"

namespace platform {

// libpngsaver.so, loaded by its bare name on first use (the program's RUNPATH puts its own folder
// first); BmpToPng is resolved once. A library that cannot be loaded is tried again at the next
// call, so one put in place later is found.
class DlPngLibrary : public PngLibrary {
public:
    ~DlPngLibrary() override;
    int16_t bmpToPng(const QString& bmpPath, const QString& pngPath,
                     const QString& options) override;

private:
    using Entry = int16_t (*)(const char*, const char*, const char*);
    void* handle_ = nullptr;
    Entry entry_ = nullptr;
};

}  // namespace platform
