#pragma once
// The user's own folders by the freedesktop.org rules: the configuration folder
// ($XDG_CONFIG_HOME) and the pictures folder (XDG_PICTURES_DIR of xdg-user-dirs).

#include <QByteArray>
#include <QString>

#include "platform/Places.h"

namespace platform {

// The folder that `userDirs`, the text of user-dirs.dirs, names for `key` (such as
// "XDG_PICTURES_DIR"), read as xdg-user-dirs writes the file: `KEY="$HOME/…"` or `KEY="/…"`, with
// its backslash escapes, blanks or a "#" comment after the closing quote, comment lines; the last
// such line counts, as when a shell reads the file. The path's bytes are kept as they are, and
// `home` + "/" + `fallbackName` when the file names none. No final "/".
QByteArray userDir(const QString& home, const QByteArray& userDirs, const char* key,
                   const char* fallbackName);

// The pictures folder of `userDirs` (XDG_PICTURES_DIR), else `home` + "/Pictures". A folder whose
// name is not UTF-8 cannot be a picture folder of this program (its settings are text): the
// default serves then, rather than another folder that only looks like it.
QString picturesFolder(const QString& home, const QByteArray& userDirs);

// The videos folder, by the same reading over the XDG_VIDEOS_DIR line; `home` + "/Videos" when
// the text names none.
QString videosFolder(const QString& home, const QByteArray& userDirs);

// The folders of an installed copy for the current user, from $HOME, $XDG_CONFIG_HOME and
// user-dirs.dirs. The user's pictures folder itself is created when missing (a fresh home may
// not have one yet), since the options dialog creates only the last level of a picture folder;
// should that fail, the dialog reports it when it creates the picture folder.
UserPlaces installedPlaces();

// Creates `path` and its missing parents; new folders get `mode` (less the umask). Returns 0
// when `path` is a folder afterwards, else the errno value of the failure.
int makeFolders(const QString& path, unsigned mode = 0700);

}  // namespace platform
