#pragma once
// The process-wide values: the in-memory settings and the measured size of one BMP picture.

#include <cstdint>

#include "settings/Settings.h"

struct Globals {
    Settings settings;
    int32_t bmpsize = 0;  // length in bytes of one stored BMP picture, measured at start-up
};

Globals& globals();
// Back to the values the program starts with (tests).
void resetGlobals();
