#pragma once
// The one place that knows which backends serve the program: production ones, or a test's fakes.

#include <QIcon>
#include <optional>
#include <QString>

#include "platform/Clock.h"
#include "platform/Help.h"
#include "platform/Places.h"
#include "platform/PngLibrary.h"
#include "platform/Screen.h"
#include "platform/Ui.h"

namespace platform {

struct Services {
    Ui* ui = nullptr;
    Clock* clock = nullptr;
    Screen* screen = nullptr;
    PngLibrary* png = nullptr;
    Help* help = nullptr;
    QString appFolder;  // the folder that holds the executable, without a final "/"
    std::optional<UserPlaces> userPlaces;  // set for an installed copy (Places.h)
};

// Picks the production backends. Call once, after the QApplication exists. `programIcon` is the
// icon of the windows the backends open themselves (the help viewer).
void useProduction(const QIcon& programIcon);
// Replaces the backends (tests). The pointers must outlive their use.
void use(const Services& services);

const Services& services();
inline Ui& ui() {
    return *services().ui;
}
inline Clock& clock() {
    return *services().clock;
}
inline Screen& screen() {
    return *services().screen;
}
inline PngLibrary& pngLibrary() {
    return *services().png;
}
inline Help& help() {
    return *services().help;
}
inline const QString& appFolder() {
    return services().appFolder;
}

}  // namespace platform
