#pragma once
// The X11 screen backend itself, for makeScreen() and for tests that need a say in how it works.
// No X11 header here: X windows travel as their plain numeric ids.

#include <functional>
#include <memory>
#include <string>

#include "platform/Screen.h"

namespace platform::x11 {

enum class CaptureMethod {
    SharedMemory,  // MIT-SHM, where the server shares memory with us; else the plain request
    GetImage,      // the plain XGetImage request only
};

class X11Screen : public Screen {
public:
    // Moments inside activateWindow() at which a test may interfere.
    enum class Stage {
        Found,    // the window was picked by its title; its existence not yet checked
        Checked,  // the window exists; the request to bring it up not yet sent
    };
    using StageHook = std::function<void(Stage, unsigned long window)>;

    // Opens a connection of its own to `displayName` (empty: $DISPLAY). Null when that fails.
    static std::unique_ptr<X11Screen> open(const std::string& displayName,
                                           CaptureMethod preferred = CaptureMethod::SharedMemory);
    ~X11Screen() override;

    void openCapture(const QString& restoreToken, OpenedHandler done) override;
    void closeCapture() override;
    bool pressPrintScreen() override;
    QImage clipboardPicture() override;
    bool canActivateWindows() override;
    bool activateWindow(const QString& title) override;

    // The way the last successful capture was taken.
    CaptureMethod lastCaptureMethod() const;
    // False once the X server has gone away; every call fails at once from then on.
    bool connected() const;
    void setStageHook(StageHook hook);

    struct Connection;

private:
    explicit X11Screen(std::unique_ptr<Connection> connection);
    std::unique_ptr<Connection> connection_;
};

}  // namespace platform::x11
