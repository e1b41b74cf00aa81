#include "platform/x11/X11Screen.h"

namespace platform {
namespace {

class NoScreen : public Screen {
public:
    bool available() override { return false; }
    bool pressPrintScreen() override { return false; }
    QImage clipboardPicture() override { return {}; }
    bool activateWindow(const QString&) override { return false; }
};

}  // namespace

std::unique_ptr<Screen> makeScreen() {
    return std::make_unique<NoScreen>();
}

}  // namespace platform
