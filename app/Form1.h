#pragma once
// The main window: start-up, the start/stop switch and the shooting cycle.

#include <cstdint>
#include <QMainWindow>

#include "app/SameAsLast.h"
#include "app/TickSchedule.h"
#include "gauge/clsMyPbar.h"
#include "platform/Screen.h"
#include "settings/FrmOption.h"

class QAction;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class frmView;

namespace widgets {
class PictureBox;
}  // namespace widgets

class Form1 : public QMainWindow, public OptionsHost {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Runs the start-up inside the error guard.
    void load();

    // Start-up and the handlers of the menu, the button and the timer.
    void Form_Load();
    void mnustart_Click();
    void cmdStart_Click();
    void Timer1_Timer();
    void mnuDisp_Click();
    void mnuOption_Click();
    void mnuPng_Click();
    void mnuView_Click();
    void mnuVersion_Click();
    void mnuHelpShow_Click();

    // Procedures the other windows and the tests use.
    QString Makename();
    int64_t GetPathSize();
    int cleanpath();
    void CheckBmpSize();
    void SetPbar();
    bool CheckPngDll() override;
    void CheckIniFile();

    bool shooting() const;
    const clsMyPbar& gauge() const { return mypbar; }

    // What the options dialog changes here.
    void setGaugeVisible(bool visible) override;
    void setPngMenuEnabled(bool enabled) override;

protected:
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void TakeShot();
    // A tick of Timer1: the schedule decides whether it takes a picture and when the next comes.
    void scheduledTick();
    // A new run of ticks, its first one interval from now.
    void startTicks();
    // The screen's answer to a start: shoot, or back to the stopped state with its message.
    void captureOpened(const platform::CaptureOpened& opened);
    // The desktop ended the run of pictures by itself: stop and say why.
    void captureEnded(const QString& problem);
    // The captions, colours and menu items of the stopped or the shooting state; starts or stops
    // the timer.
    void showState(bool shooting);
    // Stops shooting through the switch, so the window shows the stopped state; does nothing
    // when the user has already stopped it.
    void stopShooting();
    void setOuterHeight(double twips);
    void applyOuterHeight();

    clsMyPbar mypbar;                // the remaining-pictures gauge, drawn into Picture2
    app::TickSchedule schedule_;     // when the ticks of the run come
    app::SameAsLast lastPicture_;    // the run's last stored picture, for skipsame
    bool busy_ = false;              // a picture is in progress
    bool opening_ = false;           // started; the screen waits for the desktop's answer
    bool toldNoActivation_ = false;  // said once this run that PostPet cannot be brought up
    QString restoreToken_;           // the desktop's permission as kept in the settings file
    double outerHeightTwips_ = 0;    // the height asked for, frame and menu bar included

    QWidget* client_ = nullptr;
    widgets::PictureBox* Picture1 = nullptr;
    widgets::PictureBox* Picture2 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* cmdStart = nullptr;
    QTimer* Timer1 = nullptr;
    QAction* mnustart = nullptr;
    QAction* mnuOption = nullptr;
    QAction* mnuDisp = nullptr;
    QAction* mnuPng = nullptr;
    QAction* mnuView = nullptr;
    frmView* view_ = nullptr;  // the picture window, kept once opened
    QMenu* mnuHelp = nullptr;
    QAction* mnuHelpShow = nullptr;
    QAction* mnuVersion = nullptr;
};
