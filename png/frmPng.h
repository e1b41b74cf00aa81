#pragma once
// The batch compression window: converts every BMP picture of the picture folder to PNG, deleting
// each BMP once its PNG is written, and shows on its own gauge how many are left.

#include <QDialog>
#include <QString>

#include "gauge/clsMyPbar.h"

class QLabel;
class QPushButton;

namespace widgets {
class PictureBox;
}

class frmPng : public QDialog {
    Q_OBJECT
public:
    // `folderPath` is the picture folder exactly as the settings hold it, ending with "/"; names
    // are appended to it directly. Builds the window and fills it (Form_Load), which counts the
    // pictures: throws platform::Error when the folder cannot be read. Build a new one at every
    // opening and show it modally; it accepts when a run has converted everything and rejects
    // otherwise.
    explicit frmPng(const QString& folderPath, QWidget* parent = nullptr);

    // The handlers of the buttons.
    void cmdStart_Click();
    void cmdCancel_Click();

    // True while a run converts pictures (it yields between them).
    bool running() const { return running_; }

    // Esc and the close box act as Cancel.
    void reject() override;

private:
    class RunScope;

    void Form_Load();
    void checkNo();
    // Converts the listed pictures in order. True when the listing is exhausted; false when a
    // failure stopped the run, a close was asked for, or the window is gone.
    bool convertAll(const QStringList& names);
    void closeWindow(DialogCode result);

    QString path_;
    // The window's own gauge, not the main window's; it lives with the window.
    clsMyPbar mypbar_;
    bool running_ = false;
    // Asked to close during a run: the run closes the window after the picture in hand, so the
    // dialog is never closed (or its gauge detached) under the running loop.
    bool closeRequested_ = false;

    QLabel* Label1 = nullptr;
    widgets::PictureBox* Picture1 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* cmdCancel = nullptr;
    QPushButton* cmdStart = nullptr;
};
