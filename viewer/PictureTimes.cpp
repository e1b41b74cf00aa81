#include "viewer/PictureTimes.h"

#include <QDateTime>

namespace viewer {
namespace {

constexpr int64_t kDaySeconds = 86400;

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar, and back; plain arithmetic,
// so that reading 100,000 names costs no calendar objects.
int64_t daysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

struct Date {
    int64_t year;
    int month;
    int day;
};

Date civilFromDays(int64_t days) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    const int month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    return {yearOfEra + era * 400 + (month <= 2), month, day};
}

int daysInMonth(int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[month - 1];
}

// The number written with `digits` digits at `at`, or -1 when a character is not a digit.
int number(QStringView text, qsizetype at, int digits) {
    int value = 0;
    for (int i = 0; i < digits; ++i) {
        const char16_t c = text[at + i].unicode();
        if (c < u'0' || c > u'9') {
            return -1;
        }
        value = value * 10 + (c - u'0');
    }
    return value;
}

}  // namespace

std::optional<int64_t> timeOfName(QStringView name) {
    constexpr qsizetype kStampLength = 19;  // yyyy-MM-dd-HH-mm-ss
    constexpr qsizetype kExtensionLength = 4;
    if (name.size() < kStampLength + kExtensionLength) {
        return std::nullopt;
    }
    const QStringView stamp = name.mid(name.size() - kExtensionLength - kStampLength, kStampLength);
    for (const qsizetype dash : {4, 7, 10, 13, 16}) {
        if (stamp[dash] != u'-') {
            return std::nullopt;
        }
    }
    const int year = number(stamp, 0, 4);
    const int month = number(stamp, 5, 2);
    const int day = number(stamp, 8, 2);
    const int hour = number(stamp, 11, 2);
    const int minute = number(stamp, 14, 2);
    const int second = number(stamp, 17, 2);
    if (year < 0 || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59) {
        return std::nullopt;
    }
    return daysFromCivil(year, month, day) * kDaySeconds + hour * 3600 + minute * 60 + second;
}

int64_t timeOfModification(int64_t modifiedNs) {
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(modifiedNs / 1'000'000);
    const QDate date = local.date();
    return daysFromCivil(date.year(), date.month(), date.day()) * kDaySeconds +
           local.time().msecsSinceStartOfDay() / 1000;
}

QString timeText(int64_t seconds) {
    const int64_t days = (seconds >= 0 ? seconds : seconds - (kDaySeconds - 1)) / kDaySeconds;
    const int64_t ofDay = seconds - days * kDaySeconds;
    const Date date = civilFromDays(days);
    return QStringLiteral("%1年%2月%3日 %4:%5:%6")
        .arg(date.year)
        .arg(date.month)
        .arg(date.day)
        .arg(ofDay / 3600, 2, 10, QLatin1Char('0'))
        .arg(ofDay / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(ofDay % 60, 2, 10, QLatin1Char('0'));
}

}  // namespace viewer
