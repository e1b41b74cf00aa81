#pragma once
// The name a time-lapse video is offered under: the times of its first and last picture, as
// "kcVideo2026-12-09-13-45-07_2026-12-09-14-45-06.mp4".

#include <QString>

#include "platform/VideoEncoder.h"
#include "timelapse/TimedPicture.h"

namespace timelapse {

QString videoName(const TimedPicture& first, const TimedPicture& last,
                  platform::VideoFormat format);

// The time of a picture as its name gave it, e.g. "2026年12月9日 13:45:07".
QString shownTime(int64_t time);

}  // namespace timelapse
