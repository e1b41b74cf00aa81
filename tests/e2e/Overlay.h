#pragma once
// A window that no window manager touches (no frame, no focus), showing a picture. The X server
// draws the picture itself whenever the window shows: its owner need answer no events.

#include <QImage>
#include <QPoint>

using Display = struct _XDisplay;

namespace e2e {

// Where a colour channel sits in an X pixel: the position of its mask's lowest set bit.
int shiftOf(unsigned long mask);

// Makes the window at `at`, maps it on top and returns its id; Expose events are selected on it.
unsigned long showOverlay(Display* display, const QPoint& at, const QImage& picture);

}  // namespace e2e
