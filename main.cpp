// Creates the application and the main window.
#include <cstdio>
#include <QApplication>

#include "about/ProgramIcon.h"
#include "app/Form1.h"
#include "platform/Platform.h"
#include "platform/x11/Display.h"

int main(int argc, char** argv) {
    if (const std::string problem = platform::prepareWindowSystem(); !problem.empty()) {
        std::fprintf(stderr, "%s\n", problem.c_str());
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KoronCam"));
    // Also for the message boxes that can come before the main window, about the settings file.
    QApplication::setWindowIcon(about::programIcon());
    platform::useProduction(about::programIcon());

    Form1 form;
    form.load();
    return QApplication::exec();
}
