#pragma once
// The window-system services the program's logic may use: message boxes, yielding to pending
// events, showing a modal window and ending the program. Logic never calls a modal Qt function
// directly, so tests can script the answers.

#include <QString>

class QDialog;
class QWidget;

namespace platform {

enum class Buttons { Ok, OkCancel };
enum class Icon { None, Information, Warning, Critical, Question };
enum class Answer { Ok, Cancel };

// The title a message box shows when it gives none of its own.
inline const QString kAppTitle = QStringLiteral("KoronCam");

class Ui {
public:
    virtual ~Ui() = default;

    // A modal message box; an empty title means the application title.
    virtual Answer msgBox(QWidget* parent, const QString& text, Buttons buttons = Buttons::Ok,
                          Icon icon = Icon::None, const QString& title = {}) = 0;
    // Lets the window events that are pending run (timer ticks and clicks included).
    virtual void doEvents() = 0;
    // Waits, briefly and bounded, until the window system has put `window` on the screen, so that
    // a dialog opened next is placed over it.
    virtual void waitUntilShown(QWidget& window) = 0;
    // Shows the dialog modally and returns its result code when it has closed.
    virtual int showModal(QDialog& dialog) = 0;
    // Ends the whole program at once. Never returns to the caller.
    [[noreturn]] virtual void endProgram(int status = 1) = 0;
    // True once endProgram has run. A stand-in that cannot end the process unwinds instead, with
    // an exception of its own; the guard of the event handlers lets that pass quietly.
    virtual bool programEnded() const { return false; }
};

}  // namespace platform
