#pragma once
// Opening the program's help file, from the main window's menu and the options dialog's Help
// button. Both run the same steps; only the caller, the command and the data differ.

#include <QString>

#include "platform/Help.h"

class QWidget;

namespace about {

// The program's help file, a bare name: the help viewer looks for it beside the program.
inline const QString kHelpFile = QStringLiteral("Koro03.hlp");
// The context number of the options dialog's topic.
constexpr unsigned kOptionsHelpContext = 4;

// Asks the help viewer to open `helpFile` for `command` and `data`. With no help file named, tells
// the user so in a box titled with the caller's caption. An error raised while asking is shown
// in a message box with its description; the caller goes on as it was.
void openHelp(QWidget* caller, const QString& helpFile, unsigned command, unsigned data);

// The contents of the program's help file (the main window's menu).
void openHelpContents(QWidget* caller);
// The options dialog's topic of the program's help file (its Help button).
void openOptionsHelp(QWidget* caller);

}  // namespace about
