#pragma once
// Screen capture and bringing a window to the front by its title.

#include <QImage>
#include <QString>

namespace platform {

class Screen {
public:
    virtual ~Screen() = default;

    // True when this session can capture its screen (an X11 session).
    virtual bool available() = 0;
    // Captures the whole screen into this layer's own clipboard slot; the desktop's clipboard is
    // never touched. Returns false when no picture could be taken.
    virtual bool pressPrintScreen() = 0;
    // The picture that the last pressPrintScreen() captured; a null image when there is none.
    virtual QImage clipboardPicture() = 0;
    // Brings the top-level window titled `title` (exactly, else the first whose title begins
    // with it) to the front. Returns false when no such window was found; never reports.
    virtual bool activateWindow(const QString& title) = 0;
};

}  // namespace platform
