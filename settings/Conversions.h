#pragma once
// Turning the settings file's texts into values and back. A text that does not convert raises
// platform::Error with a message that names the settings file, the key and the value as found,
// and says to correct or delete the file.

#include <cstdint>
#include <QString>

namespace settings {

// "True"/"False" in any letter case, or a number of the form toInt32 reads: zero is false, any
// other number true (also 0.5, or one beyond the 32-bit range). Blanks around are allowed.
bool toBoolean(const QString& key, const QString& value);
// A decimal number, blanks around it allowed; a fraction is rounded to the nearest whole number
// (halves to even); it must fit a signed 32-bit integer. Only an optional sign, digits and an
// optional point with digits ("12", "-3", "+2.5", ".5", "5."): no exponent, no "0x", no group
// separators, no blank inside.
int32_t toInt32(const QString& key, const QString& value);

// `text` with full-width digits ("１０", as a Japanese input method types them) replaced by the
// digits they show; every other character kept as it is.
QString halfWidthDigits(const QString& text);

inline QString booleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

}  // namespace settings
