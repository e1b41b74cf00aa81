#pragma once
// The settings file as one unit: its keys, their defaults and how their texts convert. Windows
// read and store settings only through here; what fails comes back as platform::Error, for the
// window to show.

#include <QString>

#include "settings/Settings.h"

namespace settings {

// Every setting from the settings file; a missing key gives its default: the value in
// Settings{}, and `defaultFolder` for the picture folder. Keys are read in a fixed order, so a
// file with several bad values always names the same one. Throws platform::Error naming the
// file, the key and the value when a value does not convert, or the file when it cannot be read.
Settings load(const QString& defaultFolder);

// The settings of section [extra] into `settings`; a missing key gives its default. Unlike the
// others, a value that does not convert or lies outside its range does not stop the program: it
// gives its default, and the text returned tells of it (the file, the key, the value) for the
// window to show once; the empty text when every value was read. Throws platform::Error as load
// does when the file cannot be read.
QString loadExtra(Settings& settings);

// Stores what the options dialog sets: the folder's limit, the folder and the three switches,
// in that order, then the interval and the switch of section [extra] where the file does not
// already give their values (a file without them keeps its bytes while they are at their
// defaults). Throws platform::Error naming the file and the reason at the first write that
// fails; the keys after it are not tried, as they would fail the same way.
void saveOptions(const Settings& settings);

// Stores what the compact switch sets: the display. Throws platform::Error as saveOptions does.
void saveDisplay(const Settings& settings);

// The desktop's permission to capture the screen, kept in a section of its own apart from the
// settings; the empty text when none is kept. Throws platform::Error as load does.
QString loadRestoreToken();

// Keeps `token` for the next start. Throws platform::Error as saveOptions does.
void saveRestoreToken(const QString& token);

}  // namespace settings
