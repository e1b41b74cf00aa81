#include "app/Globals.h"

#include <memory>

namespace {

std::unique_ptr<Globals>& instance() {
    static std::unique_ptr<Globals> globals = std::make_unique<Globals>();
    return globals;
}

}  // namespace

Globals& globals() {
    return *instance();
}

void resetGlobals() {
    instance() = std::make_unique<Globals>();
}
