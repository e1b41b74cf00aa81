#pragma once
// Where the program keeps its files. A portable copy (the build folder, a copied folder) keeps the
// settings file and the default picture folder beside the program, and start-up may store its
// test picture there. An installed copy keeps them in the user's own folders instead and writes
// nothing beside itself, whoever runs it (root too). Decided once at start-up, by how the copy
// was installed, not by whether its folder may be written.

#include <QString>

namespace platform {

// The user's folders that an installed copy uses; no final "/".
struct UserPlaces {
    QString settingsFolder;  // $XDG_CONFIG_HOME/KoronCam
    QString pictureFolder;   // the user's pictures folder + "/KoronCam"
};

// True for a portable copy: files may be written beside the program.
bool portable();

// True when `programFolder` (the folder of the running program, links resolved) is laid out as the
// install step leaves it: PREFIX/lib/koroncam holding KoronCam, with the command
// PREFIX/bin/koroncam leading to that program.
bool installedLayout(const QString& programFolder);

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
