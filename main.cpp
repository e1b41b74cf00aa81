// Creates the application and the main window.
#include <cstdio>
#include <QApplication>
#include <QFontDatabase>

#include "about/ProgramIcon.h"
#include "app/Form1.h"
#include "platform/Platform.h"
#include "platform/x11/Display.h"

namespace {

// Without a font that can show Japanese every text of the program is boxes, also its messages:
// say so once where it can still be read, with a command in plain letters.
void warnWithoutJapaneseFont() {
    if (QFontDatabase::families(QFontDatabase::Japanese).isEmpty()) {
        std::fprintf(
            stderr, "%s\n",
            "KoronCam: 日本語を表示できるフォントがありません。画面の文字が四角になります。"
            "フォントを入れて下さい: sudo apt install fonts-noto-cjk");
    }
}

}  // namespace

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
    warnWithoutJapaneseFont();

    Form1 form;
    form.load();
    return QApplication::exec();
}
