#pragma once
// The moment a picture's name gives ("kcPic2026-12-09-13-45-07.png"), counted in seconds from
// 1970-01-01 00:00 of the local time as read (no time zone applied), and its text.

#include <cstdint>
#include <optional>
#include <QString>
#include <QStringView>

namespace viewer {

// The time of a name that ends with "yyyy-MM-dd-HH-mm-ss" and a four-letter extension (".bmp",
// ".png"); empty when the name holds no valid date and time there.
std::optional<int64_t> timeOfName(QStringView name);

// A file's last change in local time, counted the same way: for a picture whose name gives none.
int64_t timeOfModification(int64_t modifiedNs);

// The time as the viewer shows it: "2026年12月9日 13:45:07".
QString timeText(int64_t seconds);

}  // namespace viewer
