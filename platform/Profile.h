#pragma once
// INI (profile) files: reading one value, writing one value, with the classic Windows rules.

#include <QString>

namespace platform::profile {

// The value of `key` in `section` of `file`, or `def` when the file, the section or the key is
// missing. Values are returned whole.
QString read(const QString& file, const QString& section, const QString& key, const QString& def);

// Stores `value` under `key` in `section` of `file`, creating what is missing. The file is
// replaced atomically; every other byte stays as it was. Throws platform::Error naming the file
// and the reason when the file cannot be written.
void write(const QString& file, const QString& section, const QString& key, const QString& value);

}  // namespace platform::profile
