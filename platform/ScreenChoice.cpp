#include "platform/ScreenChoice.h"

#include <QGuiApplication>

#include "platform/wayland/WaylandScreen.h"
#include "platform/x11/X11Backend.h"

namespace platform {
namespace {

class NoScreen : public Screen {
public:
    void openCapture(const QString&, OpenedHandler done) override {
        done({false,
              QStringLiteral("画面を撮影できません。\r\n"
                             "画面の撮影には X11 のデスクトップ (セッション) が必要です。"),
              std::nullopt});
    }
    void closeCapture() override {}
    bool pressPrintScreen() override { return false; }
    QImage clipboardPicture() override { return {}; }
    bool canActivateWindows() override { return false; }
    bool activateWindow(const QString&) override { return false; }
};

}  // namespace

bool isWaylandSession(const QByteArray& waylandDisplay, const QByteArray& sessionType) {
    return !waylandDisplay.isEmpty() || sessionType == "wayland";
}

bool isWaylandSession() {
    return isWaylandSession(qgetenv("WAYLAND_DISPLAY"), qgetenv("XDG_SESSION_TYPE"));
}

std::unique_ptr<Screen> makeScreen() {
    if (isWaylandSession()) {
        return wayland::WaylandScreen::forSession();
    }
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        if (auto screen = x11::X11Screen::open({})) {
            return screen;
        }
    }
    return std::make_unique<NoScreen>();
}

}  // namespace platform
