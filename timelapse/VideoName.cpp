#include "timelapse/VideoName.h"

namespace timelapse {

// The times are the names' own fields counted as seconds; read back the same way, without a zone.
QDateTime asRead(int64_t time) {
    return QDateTime::fromSecsSinceEpoch(time, Qt::UTC);
}

QString videoName(const TimedPicture& first, const TimedPicture& last,
                  platform::VideoFormat format) {
    const QString pattern = QStringLiteral("yyyy-MM-dd-HH-mm-ss");
    return QStringLiteral("kcVideo%1_%2%3")
        .arg(asRead(first.time).toString(pattern), asRead(last.time).toString(pattern),
             platform::videoExtension(format));
}

}  // namespace timelapse
