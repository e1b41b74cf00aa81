#pragma once

#include "platform/Clock.h"

namespace platform {

class QtClock : public Clock {
public:
    QDateTime now() override { return QDateTime::currentDateTime(); }
};

}  // namespace platform
