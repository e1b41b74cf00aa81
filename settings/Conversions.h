#pragma once
// Turning the settings file's texts into values and back. A text that does not convert raises
// platform::Error with a message that names the settings file, the key and the value as found,
// and says to correct or delete the file.

#include <cstdint>
#include <QString>

namespace settings {

// "True"/"False" in any letter case, or a number: zero is false, any other number true.
bool toBoolean(const QString& key, const QString& value);
// A decimal number, blanks around it allowed; a fraction is rounded to the nearest whole number
// (halves to even); it must fit a signed 32-bit integer.
int32_t toInt32(const QString& key, const QString& value);

inline QString booleanText(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

}  // namespace settings
