#pragma once
// The name a time-lapse video is offered under: the times of its first and last picture, as
// "kcVideo2026-12-09-13-45-07_2026-12-09-14-45-06.mp4".

#include <QDateTime>
#include <QString>

#include "platform/VideoEncoder.h"
#include "timelapse/TimedPicture.h"

namespace timelapse {

QString videoName(const TimedPicture& first, const TimedPicture& last,
                  platform::VideoFormat format);

// A picture's time as a date and time without a zone: the name's own fields, read back.
QDateTime asRead(int64_t time);

}  // namespace timelapse
