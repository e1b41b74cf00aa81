#include "app/Form1.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "app/BmpFile.h"
#include "about/HelpOpener.h"
#include "about/ProgramIcon.h"
#include "about/frmAbout.h"
#include "app/Globals.h"
#include "folder/PictureFolder.h"
#include "platform/Files.h"
#include "platform/Guard.h"
#include "platform/Platform.h"
#include "platform/Twips.h"
#include "widgets/GaugeLabel.h"
#include "widgets/JapaneseFont.h"
#include "widgets/PictureBox.h"
#include "png/frmPng.h"
#include "settings/IniManage.h"
#include "settings/SettingsFile.h"
#include "viewer/ExportDialog.h"
#include "viewer/frmView.h"

namespace {

using platform::twipsToPixels;

const QString kPostPet = QStringLiteral("PostPet");
const QString kPngLibraryName = QStringLiteral("libpngsaver.so");

// Client area as built, in twips.
constexpr double kClientWidth = 6105;
constexpr double kClientHeight = 5400;
// Outer heights of the full and the compact display, frame, caption bar and menu bar included.
constexpr double kFullHeight = 6060;
constexpr double kCompactHeight = 1355;

const QColor kBuiltBack(255, 192, 192);
const QColor kStoppedBack(255, 192, 255);
const QColor kShootingBack(192, 255, 192);
const QColor kStoppedButton(255, 128, 128);
const QColor kShootingButton(128, 255, 128);

void setBackground(QWidget* widget, QPalette::ColorRole role, const QColor& color) {
    QPalette palette = widget->palette();
    palette.setColor(role, color);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

void message(QWidget* parent, const QString& text) {
    platform::ui().msgBox(parent, text);
}

// Deletes a file the program itself made; a failure is told, and the program goes on.
void removeOrSay(QWidget* parent, const QString& name) {
    try {
        platform::removeFile(name);
    } catch (const platform::Error& e) {
        message(parent, QStringLiteral("%1 の削除に失敗しました\r\n%2").arg(name, e.message()));
    }
}

Settings& currentSettings() {
    return globals().settings;
}

}  // namespace

Form1::Form1(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form1"));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setWindowTitle(QStringLiteral("ころんカメラ"));
    setWindowIcon(about::programIcon());
    buildControls();
    buildMenu();
    setFixedSize(twipsToPixels(kClientWidth),
                 twipsToPixels(kClientHeight) + menuBar()->sizeHint().height());
}

Form1::~Form1() {
    // The desktop's screen sharing ends with the window, not at the end of the process.
    platform::screen().setCaptureEndedHandler({});
    platform::screen().closeCapture();
}

void Form1::buildControls() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);
    setBackground(this, QPalette::Window, kBuiltBack);
    setBackground(client_, QPalette::Window, kBuiltBack);

    const QColor buttonFace = palette().color(QPalette::Button);
    Picture2 = new widgets::PictureBox(client_, QRectF(120, 120, 4575, 375), buttonFace);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    Picture2->setAccessibleName(QStringLiteral("残り枚数"));

    Label1 = widgets::makeGaugeLabel(Picture2, "Label1");

    cmdStart = new QPushButton(client_);
    cmdStart->setObjectName(QStringLiteral("cmdStart"));
    cmdStart->setGeometry(twipsToPixels(4800), twipsToPixels(120), twipsToPixels(1215),
                          twipsToPixels(495));
    cmdStart->setFont(widgets::gothicFont(9.75, true));
    cmdStart->setText(QStringLiteral("スタート"));
    cmdStart->setFocusPolicy(Qt::StrongFocus);
    connect(cmdStart, &QPushButton::clicked, this,
            [this] { platform::guarded([this] { cmdStart_Click(); }); });

    Picture1 = new widgets::PictureBox(client_, QRectF(120, 720, 5850, 4560), buttonFace);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setAccessibleName(QStringLiteral("撮影した画像"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    // One picture per second must hold over hours of shooting.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this,
            [this] { platform::guarded([this] { scheduledTick(); }); });
}

void Form1::buildMenu() {
    QMenuBar* bar = menuBar();
    auto add = [this, bar](const QString& name, const QString& caption, void (Form1::*handler)()) {
        QAction* action = bar->addAction(caption);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this,
                [this, handler] { platform::guarded([this, handler] { (this->*handler)(); }); });
        return action;
    };
    mnustart =
        add(QStringLiteral("mnustart"), QStringLiteral("スタート(&S)"), &Form1::mnustart_Click);
    mnuOption =
        add(QStringLiteral("mnuOption"), QStringLiteral("設定(&O)"), &Form1::mnuOption_Click);
    mnuDisp = add(QStringLiteral("mnuDisp"), QStringLiteral("表示"), &Form1::mnuDisp_Click);
    mnuPng = add(QStringLiteral("mnuPng"), QStringLiteral("png圧縮"), &Form1::mnuPng_Click);
    mnuView = add(QStringLiteral("mnuView"), QStringLiteral("見る(&V)"), &Form1::mnuView_Click);

    mnuHelp = bar->addMenu(QStringLiteral("ヘルプ"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuHelpShow = mnuHelp->addAction(QStringLiteral("目次"));
    mnuHelpShow->setObjectName(QStringLiteral("mnuHelpShow"));
    connect(mnuHelpShow, &QAction::triggered, this,
            [this] { platform::guarded([this] { mnuHelpShow_Click(); }); });
    mnuVersion = mnuHelp->addAction(QStringLiteral("ﾊﾞｰｼﾞｮﾝ"));
    mnuVersion->setObjectName(QStringLiteral("mnuVersion"));
    connect(mnuVersion, &QAction::triggered, this,
            [this] { platform::guarded([this] { mnuVersion_Click(); }); });
}

void Form1::load() {
    platform::guarded([this] { Form_Load(); });
}

void Form1::Form_Load() {
    Settings& s = currentSettings();
    try {
        s = settings::load(platform::defaultPictureFolder());
    } catch (const platform::Error& e) {
        // A value that does not convert: nothing has been written, the file stays as it is.
        platform::ui().msgBox(nullptr, e.message(), platform::Buttons::Ok,
                              platform::Icon::Critical);
        platform::ui().endProgram(1);
    }
    // A bad value of the additions is told, and the program goes on with its default.
    if (const QString problem = settings::loadExtra(s); !problem.isEmpty()) {
        message(nullptr, problem);
    }
    // The compact switch below turns the compact display on, as a click would.
    const bool compact = s.formmin;
    s.formmin = false;
    if (s.runpng) {
        mnuPng->setEnabled(false);
    } else {
        CheckPngDll();
    }
    if (compact) {
        mnuDisp_Click();
    }
    setBackground(cmdStart, QPalette::Button, kStoppedButton);
    show();
    // A dialog opened at once would be placed before the window manager has placed this window.
    platform::ui().waitUntilShown(*this);
    CheckBmpSize();
    CheckIniFile();
    SetPbar();
    setWindowTitle(QStringLiteral("ころんカメラ 停止中"));
    cmdStart->setText(QStringLiteral("スタート"));
    if (!s.stopiffull) {
        Picture2->hide();
    }
}

// ---- the start/stop switch and the shooting cycle ----

bool Form1::shooting() const {
    return Timer1->isActive();
}

void Form1::cmdStart_Click() {
    mnustart_Click();
}

void Form1::Timer1_Timer() {
    TakeShot();
}

void Form1::scheduledTick() {
    const app::TickSchedule::Tick tick = schedule_.tick(platform::clock().now());
    // Set before the picture, which may stop shooting and the timer with it.
    Timer1->start(tick.nextInMs);
    if (tick.shoot) {
        Timer1_Timer();
    }
}

void Form1::startTicks() {
    lastPicture_.forget();
    Timer1->start(schedule_.start(currentSettings().interval));
}

void Form1::mnustart_Click() {
    SetPbar();
    const int64_t shot = folder::shotSize(currentSettings().runpng, globals().bmpsize);
    if (Timer1->isActive()) {
        opening_ = false;
        platform::screen().closeCapture();
        showState(false);
        return;
    }
    const double remaining = folder::remainingShots(
        folder::limitBytes(currentSettings().maxpathsize), GetPathSize(), shot);
    if (remaining <= 0 && currentSettings().stopiffull) {
        message(this, QStringLiteral("フォルダが一杯でスタートできません"));
        return;
    }
    try {
        restoreToken_ = settings::loadRestoreToken();
    } catch (const platform::Error& e) {
        // Without the kept permission the desktop only asks again.
        message(this, e.message());
        restoreToken_.clear();
    }
    opening_ = true;
    platform::screen().setCaptureEndedHandler([this](const QString& problem) {
        platform::guarded([&] { captureEnded(problem); });
    });
    platform::screen().openCapture(restoreToken_, [this](const platform::CaptureOpened& opened) {
        platform::guarded([&] { captureOpened(opened); });
    });
    if (opening_) {
        // The desktop is asked (maybe the user, through its dialog): the window shows the
        // shooting state meanwhile, so that ストップ gives up.
        showState(true);
    }
}

void Form1::captureOpened(const platform::CaptureOpened& opened) {
    opening_ = false;
    if (opened.restoreToken && *opened.restoreToken != restoreToken_) {
        restoreToken_ = *opened.restoreToken;
        try {
            settings::saveRestoreToken(restoreToken_);
        } catch (const platform::Error& e) {
            // Shooting goes on; the desktop asks again at the next start.
            message(this, e.message());
        }
    }
    if (!opened.ok) {
        if (Timer1->isActive()) {
            showState(false);
        }
        message(this, opened.problem);
        return;
    }
    if (!Timer1->isActive()) {
        showState(true);
    }
    if (currentSettings().kcactive && !platform::screen().canActivateWindows() &&
        !toldNoActivation_) {
        toldNoActivation_ = true;
        message(this, QStringLiteral("このデスクトップでは、ほかのプログラムのウィンドウを前面に"
                                     "出せないことがあります (X11 のウィンドウだけは出せます)。\r\n"
                                     "PostPet が前面に出なくても、撮影は続けます。"));
    }
}

void Form1::captureEnded(const QString& problem) {
    stopShooting();
    message(this, problem);
}

void Form1::showState(bool shooting) {
    mnustart->setText(shooting ? QStringLiteral("ストップ(&S)") : QStringLiteral("スタート(&S)"));
    if (shooting) {
        startTicks();
    } else {
        Timer1->stop();
    }
    setWindowTitle(shooting ? QStringLiteral("ころんカメラ 撮影中")
                            : QStringLiteral("ころんカメラ 停止中"));
    cmdStart->setText(shooting ? QStringLiteral("ストップ") : QStringLiteral("スタート"));
    mnuOption->setEnabled(!shooting);
    mnuVersion->setEnabled(!shooting);
    setBackground(cmdStart, QPalette::Button, shooting ? kShootingButton : kStoppedButton);
    const QColor& back = shooting ? kShootingBack : kStoppedBack;
    setBackground(this, QPalette::Window, back);
    setBackground(client_, QPalette::Window, back);
}

void Form1::stopShooting() {
    if (Timer1->isActive()) {
        mnustart_Click();
    }
}

void Form1::TakeShot() {
    if (busy_ || opening_) {  // opening: no picture until the desktop has answered
        return;
    }
    busy_ = true;
    // Every way out of this picture clears the flag, so one failure never ends shooting for good.
    struct ClearBusy {
        bool& flag;
        ~ClearBusy() { flag = false; }
    } clearBusy{busy_};

    const Settings& s = currentSettings();
    if (s.kcactive) {
        platform::screen().activateWindow(kPostPet);
    }
    const bool captured = platform::screen().pressPrintScreen();
    platform::ui().doEvents();
    // A picture equal to the last one stored is not stored: nothing written, cleaned or counted.
    if (s.skipsame && captured && lastPicture_.repeats(platform::screen().clipboardPicture())) {
        return;
    }
    if (cleanpath() == 1) {
        return;
    }
    const QImage picture = platform::screen().clipboardPicture();
    if (!captured || picture.isNull()) {
        if (!Timer1->isActive()) {
            return;  // stopped meanwhile: the desktop's end of the capture has said why
        }
        message(this, QStringLiteral("画面を撮影できませんでした。\r\n撮影を停止します。"));
        stopShooting();
        return;
    }
    Picture1->setPicture(picture);
    const QString name = Makename();
    const QString pngName = name.left(name.size() - 4) + QStringLiteral(".png");
    // With PNG at once the picture goes from memory straight into its PNG file. Where that
    // fails, it takes the way through the BMP file, which then stays when the conversion fails.
    const bool pngWritten =
        currentSettings().runpng &&
        platform::pngLibrary().pixelsToPng(Picture1->image(), pngName, QStringLiteral("c6")) == 0;
    if (!pngWritten) {
        try {
            app::saveBmp(Picture1->image(), name);
        } catch (const platform::Error& e) {
            message(this, e.message() + QStringLiteral("\r\n撮影を停止します。"));
            stopShooting();
            return;
        }
        if (currentSettings().runpng) {
            if (platform::pngLibrary().bmpToPng(name, pngName, QStringLiteral("c6")) != 0) {
                message(this, QStringLiteral("png変換でエラーがでました\r\n処理を中止します"));
                return;
            }
            removeOrSay(this, name);
        }
    }
    mypbar.Value(mypbar.Value() - 1);
    platform::ui().doEvents();
}

QString Form1::Makename() {
    const QDateTime now = platform::clock().now();
    schedule_.named(now);
    const QString stamp = now.toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
    return currentSettings().path + QStringLiteral("kcPic") + stamp + QStringLiteral(".bmp");
}

// ---- the picture folder and the gauge ----

int64_t Form1::GetPathSize() {
    return folder::GetPathSize(currentSettings().path);
}

int Form1::cleanpath() {
    const Settings& s = currentSettings();
    const folder::CleanResult result =
        folder::cleanFolder(s.path, folder::limitBytes(s.maxpathsize),
                            folder::shotSize(s.runpng, globals().bmpsize), s.stopiffull);
    if (s.stopiffull && result.remaining) {
        mypbar.Value(static_cast<float>(*result.remaining));
    }
    switch (result.outcome) {
        case folder::CleanOutcome::Store:
            return 0;
        case folder::CleanOutcome::FolderFull:
            show();
            message(this, QStringLiteral("画像ファイルが一杯になりましたので\r\n停止します"));
            stopShooting();
            return 1;
        case folder::CleanOutcome::DeleteFailed:
            message(this, result.failedName + QStringLiteral("の削除に失敗しました\r\n終了します"));
            stopShooting();
            return 1;
    }
    return 1;
}

void Form1::CheckBmpSize() {
    const QString name = platform::appFolder() + QStringLiteral("/test.bmp");
    const QByteArray encoded = app::encodeBmp(Picture1->image());
    globals().bmpsize = static_cast<int32_t>(encoded.size());
    // Storing the test picture proves the stored length; an existing test.bmp is someone's
    // file and stays untouched, and a folder that cannot be written still gives the length.
    // An installed copy writes nothing beside itself.
    if (!platform::portable() || QFileInfo::exists(name)) {
        return;
    }
    try {
        app::saveBmp(Picture1->image(), name);
    } catch (const platform::Error&) {
        return;
    }
    globals().bmpsize = static_cast<int32_t>(QFileInfo(name).size());
    removeOrSay(this, name);
}

void Form1::SetPbar() {
    const Settings& s = currentSettings();
    const int64_t shot = folder::shotSize(s.runpng, globals().bmpsize);
    mypbar.Picturebox(Picture2);
    mypbar.Label(Label1);
    mypbar.Max(static_cast<float>(folder::gaugeMaximum(s.maxpathsize, shot)));
    mypbar.Min(0);
    mypbar.Value(static_cast<float>(
        folder::remainingShots(folder::limitBytes(s.maxpathsize), GetPathSize(), shot)));
}

bool Form1::CheckPngDll() {
    const bool present =
        platform::isPlainFile(platform::appFolder() + QLatin1Char('/') + kPngLibraryName) ||
        platform::isPlainFile(platform::systemDirectory() + QLatin1Char('/') + kPngLibraryName);
    mnuPng->setEnabled(present);
    return present;
}

void Form1::CheckIniFile() {
    if (!platform::isPlainFile(IniManage::iniPath())) {
        mnuOption_Click();
    }
}

// ---- display and the other windows ----

void Form1::mnuDisp_Click() {
    Settings& s = currentSettings();
    s.formmin = !s.formmin;
    setOuterHeight(s.formmin ? kCompactHeight : kFullHeight);
    try {
        settings::saveDisplay(s);
    } catch (const platform::Error& e) {
        // The display has switched all the same; only the next start will not know it.
        message(nullptr, e.message());
    }
}

void Form1::setOuterHeight(double twips) {
    outerHeightTwips_ = twips;
    applyOuterHeight();
}

void Form1::applyOuterHeight() {
    if (outerHeightTwips_ <= 0) {
        return;
    }
    // The window manager's frame and caption bar are part of the outer height; they are known
    // only once the window is shown, so this runs again when they become known.
    const int decoration = frameGeometry().height() - geometry().height();
    const int height = twipsToPixels(outerHeightTwips_) - decoration;
    if (height > 0 && height != this->height()) {
        setFixedHeight(height);
    }
}

void Form1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    applyOuterHeight();
}

void Form1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    applyOuterHeight();
}

void Form1::mnuOption_Click() {
    {
        FrmOption dialog(this, globals().settings, globals().bmpsize, *this);
        platform::ui().showModal(dialog);
    }
    SetPbar();
}

void Form1::setGaugeVisible(bool visible) {
    Picture2->setVisible(visible);
}

void Form1::setPngMenuEnabled(bool enabled) {
    mnuPng->setEnabled(enabled);
}

void Form1::mnuPng_Click() {
    {
        frmPng dialog(currentSettings().path, this);
        platform::ui().showModal(dialog);
    }
    SetPbar();
}

void Form1::mnuView_Click() {
    // One window, not modal: shooting goes on while it is open, and it stays until closed.
    if (!view_) {
        view_ = new frmView([] { return currentSettings().path; }, this);
        view_->setExportHandler(
            [view = view_](const std::vector<timelapse::TimedPicture>& pictures, int from, int to) {
                openExportDialog(view, pictures, from, to);
            });
    }
    view_->show();
    view_->raise();
    view_->activateWindow();
}

void Form1::mnuVersion_Click() {
    about::openAbout();
}

void Form1::mnuHelpShow_Click() {
    about::openHelpContents(this);
}
