#pragma once
// A window of one colour that a test puts on an X server, as another program would. No X11
// header here: they break Qt's and GoogleTest's.

#include <QColor>
#include <QRect>
#include <QString>

struct _XDisplay;

namespace testing_support {

using XWindowId = unsigned long;

// Which title property a window carries; each one alone, so that each can be tested alone.
enum class TitleProperty {
    NetWmName,  // _NET_WM_NAME in UTF-8 (and WM_NAME too, when `bothTitles`)
    WmName,     // WM_NAME in Latin-1 (STRING)
};

struct WindowLook {
    TitleProperty title = TitleProperty::NetWmName;
    bool bothTitles = false;  // NetWmName: also WM_NAME, as toolkits set both
    bool takesFocus = false;  // WM_HINTS input: takes the focus when activated
};

// Creates a top-level window filled with `colour`, its inside at `where` (root coordinates),
// titled `title`, asks the window manager to keep that position and size, and maps it raised.
// Returns once the X server has it; whether it is shown is the caller's to wait for.
XWindowId makeColouredWindow(_XDisplay* display, const QString& title, const QRect& where,
                             const QColor& colour, const WindowLook& look = {});

}  // namespace testing_support
