#include "timelapse/VideoName.h"

#include <QDateTime>

namespace timelapse {
namespace {

// The times are the names' own fields counted as seconds; read back the same way, without a zone.
QDateTime asRead(int64_t time) {
    return QDateTime::fromSecsSinceEpoch(time, Qt::UTC);
}

}  // namespace

QString videoName(const TimedPicture& first, const TimedPicture& last,
                  platform::VideoFormat format) {
    const QString pattern = QStringLiteral("yyyy-MM-dd-HH-mm-ss");
    return QStringLiteral("kcVideo%1_%2%3")
        .arg(asRead(first.time).toString(pattern), asRead(last.time).toString(pattern),
             platform::videoExtension(format));
}

QString shownTime(int64_t time) {
    const QDateTime at = asRead(time);
    return QStringLiteral("%1年%2月%3日 %4")
        .arg(at.date().year())
        .arg(at.date().month())
        .arg(at.date().day())
        .arg(at.time().toString(QStringLiteral("HH:mm:ss")));
}

}  // namespace timelapse
