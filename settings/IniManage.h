#pragma once
// The settings file KoronCam.ini beside the program: section "init", and "capture" for what the
// desktop gives to keep.

#include <QString>

namespace IniManage {

inline const QString kSection = QStringLiteral("init");
// The desktop's permission to capture the screen (key "restoretoken"), apart from the settings.
inline const QString kCaptureSection = QStringLiteral("capture");

// The settings file's full name: application folder + "/KoronCam.ini".
QString iniPath();

// The value of `key`, or `def` when the file, the section or the key is missing. Read whole,
// never cut at a buffer's length. A file that exists but cannot be read throws platform::Error
// naming it, rather than passing for a missing file.
QString ReadIni(const QString& section, const QString& key, const QString& def);

// Stores `value` under `key`, replacing the file atomically. A failure is reported in a message
// box naming the file and the reason; the caller goes on (its in-memory value still changes).
// Returns false when the write failed. Writing the value already there does not touch the file.
bool WriteIni(const QString& section, const QString& key, const QString& value);

// The part of `text` before its first NUL; the empty text when there is none.
QString CutNull(const QString& text);

}  // namespace IniManage
