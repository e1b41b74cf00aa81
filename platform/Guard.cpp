#include "platform/Guard.h"

#include "platform/Platform.h"

namespace platform {

void reportFatal(const QString& what) noexcept {
    try {
        ui().msgBox(nullptr, QStringLiteral("予期しないエラーが起きたので終了します。\r\n") + what,
                    Buttons::Ok, Icon::Critical);
        ui().endProgram(1);
    } catch (...) {
        if (!programEnded()) {
            std::terminate();
        }
    }
}

bool programEnded() noexcept {
    return services().ui != nullptr && ui().programEnded();
}

}  // namespace platform
