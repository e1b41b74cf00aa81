#include "platform/Platform.h"

#include <QCoreApplication>

#include "platform/Places.h"
#include "platform/posix/DlPngLibrary.h"
#include "platform/posix/UserFolders.h"
#include "platform/qt/HelpViewer.h"
#include "platform/qt/QtClock.h"
#include "platform/qt/QtUi.h"
#include "platform/ScreenChoice.h"

namespace platform {
namespace {

Services& current() {
    static Services services;
    return services;
}

}  // namespace

void useProduction(const QIcon& programIcon) {
    static QtUi ui;
    static QtClock clock;
    static DlPngLibrary png(QCoreApplication::applicationDirPath());
    static auto screen = makeScreen();
    static auto help = makeHelpViewer(programIcon);
    Services s;
    s.ui = &ui;
    s.clock = &clock;
    s.screen = screen.get();
    s.png = &png;
    s.help = help.get();
    s.appFolder = QCoreApplication::applicationDirPath();
    if (installedLayout(s.appFolder)) {
        s.userPlaces = installedPlaces();
    }
    current() = s;
}

void use(const Services& services) {
    current() = services;
}

const Services& services() {
    return current();
}

}  // namespace platform
