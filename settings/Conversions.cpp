#include "settings/Conversions.h"

#include <optional>

#include "platform/Errors.h"
#include "settings/IniManage.h"

namespace settings {

namespace {

[[noreturn]] void refuse(const QString& key, const QString& value) {
    throw platform::Error(QStringLiteral("設定ファイル %1 の %2 の値 \"%3\" を読み取れません。\r\n"
                                         "ファイルを直すか削除してから起動し直して下さい。")
                              .arg(IniManage::iniPath(), key, value));
}

// A plain decimal number: an optional sign, digits, and an optional fraction after a point, with
// at least one digit. No exponent, no hexadecimal, no group separators: a settings file written
// by hand should mean exactly what it shows.
struct Decimal {
    bool negative = false;
    QString whole;     // digits before the point, leading zeros removed
    QString fraction;  // digits after the point
};

bool isDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

std::optional<Decimal> parseDecimal(const QString& text) {
    const QString t = text.trimmed();
    Decimal d;
    qsizetype i = 0;
    if (i < t.size() && (t[i] == u'+' || t[i] == u'-')) {
        d.negative = t[i] == u'-';
        ++i;
    }
    while (i < t.size() && isDigit(t[i])) {
        if (!d.whole.isEmpty() || t[i] != u'0') {
            d.whole += t[i];
        }
        ++i;
    }
    const bool hadWholeDigits = i > 0 && isDigit(t[i - 1]);
    if (i < t.size() && t[i] == u'.') {
        ++i;
        while (i < t.size() && isDigit(t[i])) {
            d.fraction += t[i++];
        }
    }
    if (i != t.size() || (!hadWholeDigits && d.fraction.isEmpty())) {
        return std::nullopt;
    }
    return d;
}

}  // namespace

bool toBoolean(const QString& key, const QString& value) {
    const QString t = value.trimmed();
    if (t.compare(u"True", Qt::CaseInsensitive) == 0) {
        return true;
    }
    if (t.compare(u"False", Qt::CaseInsensitive) == 0) {
        return false;
    }
    const std::optional<Decimal> d = parseDecimal(value);
    if (!d) {
        refuse(key, value);
    }
    // Any non-zero number is true, also a fraction such as 0.5.
    return !d->whole.isEmpty() || d->fraction.count(u'0') != d->fraction.size();
}

QString halfWidthDigits(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        if (c >= u'０' && c <= u'９') {
            c = QChar(u'0' + (c.unicode() - u'０'));
        }
    }
    return result;
}

int32_t toInt32(const QString& key, const QString& value) {
    const std::optional<Decimal> d = parseDecimal(value);
    // 11 digits already exceed the range; checking the count first keeps the arithmetic in int64.
    if (!d || d->whole.size() > 10) {
        refuse(key, value);
    }
    int64_t n = d->whole.isEmpty() ? 0 : d->whole.toLongLong();
    // Round to the nearest, halves to the even neighbour, decided on the digits themselves so that
    // no binary fraction gets in the way.
    if (!d->fraction.isEmpty()) {
        const QChar first = d->fraction[0];
        const bool restIsZero = d->fraction.sliced(1).count(u'0') == d->fraction.size() - 1;
        if (first > u'5' || (first == u'5' && (!restIsZero || n % 2 == 1))) {
            ++n;
        }
    }
    if (d->negative) {
        n = -n;
    }
    if (n < INT32_MIN || n > INT32_MAX) {
        refuse(key, value);
    }
    return static_cast<int32_t>(n);
}

}  // namespace settings
