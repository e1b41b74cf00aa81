#pragma once

#include "platform/Ui.h"

namespace platform {

// Message boxes, yielding and modal windows through Qt.
class QtUi : public Ui {
public:
    Answer msgBox(QWidget* parent, const QString& text, Buttons buttons, Icon icon,
                  const QString& title) override;
    void doEvents() override;
    void waitUntilShown(QWidget& window) override;
    int showModal(QDialog& dialog) override;
    [[noreturn]] void endProgram(int status) override;
};

}  // namespace platform
