#pragma once
// The text of a gauge: bold cyan over the gauge's squares, in the picture box the gauge draws into.

#include <QLabel>

#include "widgets/PictureBox.h"

namespace widgets {

// A transparent label inside `box`, at its inner area's left and centred in its height; the
// gauge sets its text and centres it across.
QLabel* makeGaugeLabel(PictureBox* box, const char* objectName);

}  // namespace widgets
