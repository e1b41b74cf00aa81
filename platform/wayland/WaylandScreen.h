#pragma once
// The screen on a Wayland desktop, through the desktop portal: the ScreenCast stream's newest
// frame, else one Screenshot call per picture. Never the X11 root window of Xwayland, which
// reads back black.

#include <functional>
#include <memory>
#include <QDBusConnection>
#include <QObject>

#include "platform/Screen.h"
#include "platform/wayland/CaptureOpening.h"

namespace platform::wayland {

// Brings a window up by its title where the desktop allows it; false when not found.
using WindowActivator = std::function<bool(const QString& title)>;

// How this desktop lets a program bring another's window up.
struct WindowActivation {
    WindowActivator activate;  // empty: no way at all
    // False when only some windows can be brought up (the X11 windows under Xwayland).
    bool everyWindow = true;
};

class WaylandScreen : public QObject, public Screen {
    Q_OBJECT
public:
    WaylandScreen(const QDBusConnection& bus, const PortalTimeouts& timeouts,
                  CaptureOpening::StreamFactory makeStream, WindowActivation activation = {});
    ~WaylandScreen() override;

    // The backend for this session: the session bus, PipeWire, the usual time limits.
    static std::unique_ptr<Screen> forSession();

    void openCapture(const QString& restoreToken, OpenedHandler done) override;
    void setCaptureEndedHandler(EndedHandler ended) override { ended_ = std::move(ended); }
    void closeCapture() override;
    bool pressPrintScreen() override;
    QImage clipboardPicture() override { return picture_; }
    bool canActivateWindows() override { return activation_.activate && activation_.everyWindow; }
    bool activateWindow(const QString& title) override;

    CaptureMode mode() const { return mode_; }

private slots:
    void onSessionClosed(const QVariantMap& details);

private:
    QImage screenshot();
    // While the screen changes, waits (window events running) for the frame after the newest.
    void waitForFreshFrame();
    // The run of pictures ends here: the capture is closed, then the window is told.
    void end(const QString& problem);

    QDBusConnection bus_;
    PortalTimeouts timeouts_;
    CaptureOpening::StreamFactory makeStream_;
    WindowActivation activation_;
    std::unique_ptr<CaptureOpening> opening_;
    CaptureMode mode_ = CaptureMode::None;
    std::unique_ptr<FrameStream> stream_;
    QString sessionPath_;
    QString castProblem_;  // Screenshot: why the screen stream did not open
    EndedHandler ended_;
    QImage picture_;
};

// True when `file` lies in a folder for temporary or cached files; a desktop that puts each
// Screenshot's PNG elsewhere (the user's pictures) keeps and announces every one.
bool isDisposable(const QString& file);

}  // namespace platform::wayland
