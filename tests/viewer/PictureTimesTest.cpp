// The time a picture's name gives, and its text: valid names, and names that only look like one.
#include <optional>
#include <gtest/gtest.h>
#include <QDateTime>

#include "viewer/PictureTimes.h"

namespace {

// Seconds as read for a local date and time, counted by Qt's calendar to check ours.
int64_t asRead(int year, int month, int day, int hour, int minute, int second) {
    return QDateTime(QDate(year, month, day), QTime(hour, minute, second), Qt::UTC)
        .toSecsSinceEpoch();
}

TEST(PictureTimesTest, NamesGiveTheirTimeOrNone) {
    const struct {
        const char* name;
        std::optional<int64_t> time;
    } cases[] = {
        {"kcPic2026-12-09-13-45-07.png", asRead(2026, 12, 9, 13, 45, 7)},
        {"kcPic2024-02-29-23-59-59.BMP", asRead(2024, 2, 29, 23, 59, 59)},
        {"kcPic1969-12-31-00-00-00.bmp", asRead(1969, 12, 31, 0, 0, 0)},
        {"shopkcPic2000-03-01-00-00-01.png", asRead(2000, 3, 1, 0, 0, 1)},  // a prefix
        {"kcPic2023-02-29-10-00-00.png", std::nullopt},                     // not a leap year
        {"kcPic2026-13-01-10-00-00.png", std::nullopt},
        {"kcPic2026-04-31-10-00-00.png", std::nullopt},
        {"kcPic2026-12-09-24-00-00.png", std::nullopt},
        {"kcPic2026-12-09-13-60-00.png", std::nullopt},
        {"kcPic2026-12-09 13-45-07.png", std::nullopt},
        {"kcPic2026-12-09-13-45-0x.png", std::nullopt},
        {"kcPic copy.png", std::nullopt},
        {"kcPic.png", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(viewer::timeOfName(QString::fromUtf8(c.name)), c.time) << c.name;
    }
}

TEST(PictureTimesTest, TextAndModificationTimeAgreeWithTheCalendar) {
    EXPECT_EQ(viewer::timeText(asRead(2026, 12, 9, 13, 45, 7)), "2026年12月9日 13:45:07");
    EXPECT_EQ(viewer::timeText(asRead(2000, 1, 1, 0, 0, 0)), "2000年1月1日 00:00:00");
    EXPECT_EQ(viewer::timeText(asRead(1965, 7, 31, 23, 5, 9)), "1965年7月31日 23:05:09");
    const QDateTime local(QDate(2025, 8, 17), QTime(6, 30, 12));
    EXPECT_EQ(viewer::timeOfModification(local.toMSecsSinceEpoch() * 1'000'000 + 999'999),
              asRead(2025, 8, 17, 6, 30, 12));
}

}  // namespace
