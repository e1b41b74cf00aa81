// Placeholder until the encoder lands: every conversion fails as "cannot write".
#include "pngsaver.h"

extern "C" int16_t BmpToPng(const char*, const char*, const char*) {
    return PNGSAVER_ERR_WRITE_PNG;
}
