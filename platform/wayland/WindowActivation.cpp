#include "platform/wayland/WindowActivation.h"

#include <memory>

#include "platform/wayland/SwayIpc.h"
#include "platform/x11/X11Backend.h"

namespace platform::wayland {

WindowActivation windowActivationForSession() {
    const QString sway = swaySocketPath();
    if (!sway.isEmpty()) {
        return {[sway](const QString& title) { return activateWindow(sway, title); }, true};
    }
    if (!qEnvironmentVariableIsEmpty("DISPLAY")) {
        // Shared: the activator is copied, the connection is one.
        std::shared_ptr<x11::X11Screen> xwayland = x11::X11Screen::open({});
        if (xwayland) {
            return {[xwayland](const QString& title) { return xwayland->activateWindow(title); },
                    false};
        }
    }
    return {};
}

}  // namespace platform::wayland
