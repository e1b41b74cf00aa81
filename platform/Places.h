#pragma once
// Where the program keeps its files. A copy whose folder the user can write is portable: the
// settings file and the default picture folder lie beside the program, and start-up may store
// its test picture there. An installed copy, whose folder the user cannot write, keeps them in
// the user's own folders instead and writes nothing beside itself. Decided once at start-up.

#include <QString>

namespace platform {

// The user's folders that an installed copy uses; no final "/".
struct UserPlaces {
    QString settingsFolder;  // $XDG_CONFIG_HOME/KoronCam
    QString pictureFolder;   // the user's pictures folder + "/KoronCam"
};

// True for a portable copy: files may be written beside the program.
bool portable();

// The folder that holds KoronCam.ini, without a final "/".
QString settingsFolder();

// The picture folder proposed when the settings name none: for a portable copy the program's
// folder + "/bmp", for an installed one the user's folder with a final "/".
QString defaultPictureFolder();

// An installed copy: creates the settings folder and its parents when they are missing (a
// portable copy's folder is the program's own and exists). Throws platform::Error naming the
// folder and the reason when that fails.
void makeSettingsFolder();

}  // namespace platform
