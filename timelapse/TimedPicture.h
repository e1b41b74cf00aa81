#pragma once
// A stored picture and the moment its name gives, as the viewer shows it and the time-lapse
// export orders and spaces it.

#include <cstdint>
#include <QString>

namespace timelapse {

struct TimedPicture {
    QString file;      // the picture's full path
    int64_t time = 0;  // the local time of its name, in seconds since 1970-01-01 00:00 as read
};

}  // namespace timelapse
