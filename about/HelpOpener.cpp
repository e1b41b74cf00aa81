#include "about/HelpOpener.h"

#include <exception>
#include <QWidget>

#include "platform/Errors.h"
#include "platform/Platform.h"

namespace about {

void openHelp(QWidget* caller, const QString& helpFile, unsigned command, unsigned data) {
    if (helpFile.isEmpty()) {
        platform::ui().msgBox(caller,
                              QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。 "
                                             "このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"),
                              platform::Buttons::Ok, platform::Icon::Information,
                              caller != nullptr ? caller->window()->windowTitle() : QString());
        return;
    }
    try {
        if (platform::services().help == nullptr) {
            // A program built without a viewer says so instead of crashing.
            throw platform::Error(QStringLiteral("ヘルプを表示する機能がありません。"));
        }
        platform::help().show(caller, helpFile, command, data);
    } catch (const std::exception& e) {
        platform::ui().msgBox(caller, QString::fromUtf8(e.what()));
    }
}

void openHelpContents(QWidget* caller) {
    openHelp(caller, kHelpFile, platform::kHelpFinder, 0);
}

void openOptionsHelp(QWidget* caller) {
    openHelp(caller, kHelpFile, platform::kHelpContext, kOptionsHelpContext);
}

}  // namespace about
