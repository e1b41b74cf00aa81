#pragma once
// The program's own icon: a small round camera, drawn in code so that no image file has to
// travel with the program.

#include <QIcon>
#include <QImage>
#include <QPixmap>

namespace about {

// The icon at 16, 32 and 48 pixels, for every window of the program.
QIcon programIcon();

// One size of the icon, drawn for that size.
QPixmap programIconPixmap(int size);

// The same as an image: drawing it needs no application object (the icon files of the
// installed program are made from it at build time).
QImage programIconImage(int size);

}  // namespace about
