#pragma once
// The local date and time.

#include <QDateTime>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() = 0;
};

}  // namespace platform
