#pragma once
// The settings file KoronCam.ini in the settings folder (platform/Places.h), read and written one
// value at a time; settings/SettingsFile.h knows its keys.

#include <QString>

namespace IniManage {

inline const QString kSection = QStringLiteral("init");

// The settings file's full name: the settings folder + "/KoronCam.ini".
QString iniPath();

// The value of `key`, or `def` when the file, the section or the key is missing. Read whole,
// never cut at a buffer's length. A file that exists but cannot be read throws platform::Error
// naming it, rather than passing for a missing file.
QString ReadIni(const QString& section, const QString& key, const QString& def);

// Stores `value` under `key`, replacing the file atomically; an installed copy's settings folder
// is created when missing. Writing the value already there does not touch the file. Throws
// platform::Error naming the file (or the folder) and the reason when it cannot be written; the
// old file stays whole.
void WriteIni(const QString& section, const QString& key, const QString& value);

// The part of `text` before its first NUL; the empty text when there is none.
QString CutNull(const QString& text);

}  // namespace IniManage
