#pragma once
// The in-memory settings: one value per key of the settings file.

#include <cstdint>
#include <QString>

struct Settings {
    int32_t maxpathsize = 2;  // size limit of the picture folder, megabytes of 1,048,576 bytes
    QString path;             // the picture folder; ends with one "/" once the options stored it
    bool kcactive = true;     // bring "PostPet" to the front before each picture
    bool stopiffull = true;   // full folder: stop shooting (true) or delete the oldest (false)
    bool runpng = false;      // compress each picture to PNG at once
    bool formmin = false;     // the main window is in its compact display
    // Section [extra]: additions the defaults of which keep the program as it always was.
    int32_t interval = 1;   // whole seconds between pictures, kIntervalMin to kIntervalMax
    bool skipsame = false;  // store no picture whose pixels equal those of the last one stored
};

inline constexpr int32_t kIntervalMin = 1;
inline constexpr int32_t kIntervalMax = 3600;
