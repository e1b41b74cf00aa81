#pragma once
// Screen capture and bringing a window to the front by its title.

#include <functional>
#include <optional>
#include <QImage>
#include <QString>

namespace platform {

// A picture keeps the screen's top-left corner of this size (the inner area of the main window's
// picture box); capture need not read more. A screen smaller than it is taken whole.
inline constexpr int kPictureWidth = 386;
inline constexpr int kPictureHeight = 300;

// The answer to Screen::openCapture().
struct CaptureOpened {
    bool ok = false;
    // What the user is told when the capture could not be opened (Japanese, complete).
    QString problem;
    // The desktop's new permission token to keep for the next start; nullopt leaves the kept one
    // as it is. An empty text means the kept one has been used up.
    std::optional<QString> restoreToken;
};

class Screen {
public:
    using OpenedHandler = std::function<void(const CaptureOpened&)>;
    using EndedHandler = std::function<void(const QString& problem)>;

    virtual ~Screen() = default;

    // Makes the capture ready for a run of pictures. `restoreToken` is the permission the desktop
    // gave last time (empty: none). Calls `done` exactly once: at once, or later from the event
    // loop when the desktop has to be asked first; the window keeps running meanwhile. A
    // closeCapture() before that gives up, and `done` is then never called.
    virtual void openCapture(const QString& restoreToken, OpenedHandler done) = 0;
    // `ended` hears when the desktop ends a run of pictures by itself (the user ended the screen
    // sharing from the desktop, the stream went away, or going on would harm the user's files),
    // with what the user is told (Japanese, complete); the capture is closed by then and the
    // window stops shooting. It runs from the event loop, or from inside pressPrintScreen(), which
    // then returns false; at most once per openCapture(), never after closeCapture(). The
    // handler stays until replaced. A screen whose capture never ends by itself never calls it.
    virtual void setCaptureEndedHandler(EndedHandler ended) { static_cast<void>(ended); }
    // Ends the run of pictures: closes what openCapture opened, or gives up on an open in
    // progress. Harmless when nothing is open.
    virtual void closeCapture() = 0;
    // Captures the screen's top-left corner of kPictureWidth x kPictureHeight (the whole screen
    // where it is smaller) into this layer's own clipboard slot; the desktop's clipboard is
    // never touched. Returns false when no picture could be taken (nothing open, no frame yet).
    // It may wait for the desktop; window events keep running meanwhile.
    virtual bool pressPrintScreen() = 0;
    // The picture that the last pressPrintScreen() captured; a null image when there is none.
    virtual QImage clipboardPicture() = 0;
    // False where the desktop gives programs no way, or not for every window, to bring another
    // program's window up.
    virtual bool canActivateWindows() = 0;
    // Brings the top-level window titled `title` (exactly, else the first whose title begins
    // with it) to the front. Returns false when no such window was found; never reports.
    virtual bool activateWindow(const QString& title) = 0;
};

}  // namespace platform
