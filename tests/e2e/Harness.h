#pragma once
// Drives the built program in its own process under a real X server, as a person would: it
// finds windows by their titles, clicks and types with xdotool, and looks at window titles,
// window geometry and the files on disk.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>
#include <QByteArray>
#include <QColor>
#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QLockFile>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace e2e {

using namespace std::chrono_literals;
using Millis = std::chrono::milliseconds;

// The program runs under AddressSanitizer on a shared machine: windows take their time.
constexpr Millis kWindowTimeout = 20s;
// One picture per second, with room for a loaded machine.
constexpr Millis kTickTimeout = 10s;

// Calls `done` every 50 ms until it holds or `timeout` has passed; returns its last result.
bool waitUntil(const std::function<bool()>& done, Millis timeout);

// The size of every picture the program stores: the picture box's inner area, 24 bits.
constexpr int kPictureWidth = 386;
constexpr int kPictureHeight = 300;
constexpr qint64 kBmpSize = 54 + 1160 * 300;  // headers, then rows of 386 × 3 bytes padded to 4

using WindowId = unsigned long;

// Where a top-level window is on the screen.
struct Placement {
    QRect inside;  // the window's own area, without the window manager's frame
    QRect outer;   // frame, title bar and all
};

// The test's own connection to the X server: it reads what the screen shows and makes windows
// of other programs (a "PostPet", a window covering it).
class Desktop {
public:
    static Desktop& get();  // one connection for the whole run
    Desktop(const Desktop&) = delete;
    Desktop& operator=(const Desktop&) = delete;
    bool connected() const;

    // A managed top-level window of process `pid` (0: any process) whose title is `title`.
    std::optional<WindowId> findWindow(const QString& title, qint64 pid = 0);
    // The same, waiting; fails the test when none comes.
    std::optional<WindowId> waitForWindow(const QString& title, qint64 pid,
                                          Millis timeout = kWindowTimeout);
    bool waitForNoWindow(const QString& title, qint64 pid, Millis timeout = kWindowTimeout);
    QString title(WindowId window);
    // Waits until the window's title is `title`; fails the test and returns false otherwise.
    bool waitForTitle(WindowId window, const QString& title, Millis timeout = kWindowTimeout);
    std::optional<Placement> placement(WindowId window);
    std::vector<WindowId> stackingBottomUp();
    WindowId activeWindow();

    QSize size();
    QPoint pointer();
    // What the screen shows in `area`.
    QImage grab(const QRect& area);

    // A normal window of one colour titled `title`, asking to be placed with its frame's corner
    // at `where.topLeft()`; returns once it is shown and on top.
    WindowId makeWindow(const QString& title, const QRect& where, const QColor& colour);
    // A window that no window manager touches (no frame, no focus), showing `picture` at `at`.
    WindowId makeOverlay(const QPoint& at, const QImage& picture);
    void destroy(WindowId window);
    void destroyMine();  // every window made above

private:
    struct Impl;
    Desktop();
    ~Desktop();
    std::unique_ptr<Impl> impl_;
};

// What a person does with the mouse and the keyboard, through xdotool. Positions are in the
// window's own area (below its title bar).
void click(WindowId window, const QPoint& inside);
// Clicks at a spot of the window where nothing reacts, and waits until the window has the focus,
// so that the keys that follow reach it.
void focus(WindowId window, const QPoint& idleSpot);
void pressKeys(const QString& keys);  // xdotool key syntax: "alt+s", "Return"

// What the prepared settings file holds; the picture folder is always folder()/bmp/.
struct Options {
    int maxpathsize = 2;
    bool kcactive = false;
    bool stopiffull = true;
    bool runpng = false;
    std::optional<bool> formmin;  // none: no such line
};

// The built program, copied with its library and help file into a folder of its own.
class Program {
public:
    Program();
    ~Program();  // kills the program if it still runs
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    QString folder() const;         // the application folder, no final "/"
    QString pictureFolder() const;  // folder()/bmp/
    QString settingsPath() const;
    QByteArray settingsBytes() const;
    void writeSettings(const QByteArray& text);
    // Writes the settings file for `options` and makes the picture folder.
    void prepare(const Options& options);

    // Runs the program, when started, as the system's unprivileged user "nobody", who owns its
    // folders then: file permissions hold for it, as they do not for root. False when there is
    // no such user. Its home folder is home() then.
    bool runAsNobody();
    QString home() const;
    // Starts `command`, an installed copy's command, instead of the copy in folder(). The
    // installed copy's folders stay as they are: they are not handed over to the user.
    void useInstalled(const QString& command);
    // Runs the program, when started, with `environment` (a desktop of the test's own) in place
    // of the test's own environment.
    void useEnvironment(const QProcessEnvironment& environment) { environment_ = environment; }
    void start();
    qint64 pid() const;
    // A window of the program's own.
    std::optional<WindowId> waitForWindow(const QString& title, Millis timeout = kWindowTimeout);
    bool waitForExit(Millis timeout);
    int exitCode() const;  // -1 after a crash
    void kill();
    QString output() const;  // everything it wrote to stdout and stderr
    // Ends the program and fails the test when the sanitizers reported a fault.
    void finish();

private:
    QTemporaryDir dir_;
    QTemporaryDir workingDir_;
    QProcess process_;
    QString command_;                                    // empty: the copy in folder()
    std::optional<std::pair<unsigned, unsigned>> user_;  // user and group ids to run as
    std::optional<QProcessEnvironment> environment_;
};

// The picture files in `folder`, in name order.
std::vector<QFileInfo> pictures(const QString& folder,
                                const QStringList& patterns = {"kcPic*.bmp", "kcPic*.png"});
qint64 totalSize(const std::vector<QFileInfo>& files);
// The time a picture's name carries, or an invalid time for a name of another form.
QDateTime timeInName(const QString& fileName);
// Writes `size` bytes to `path`, with `modified` as its last-modified time when it is valid.
void writeFile(const QString& path, qint64 size, const QDateTime& modified = {});

// The main window's geometry in pixels: the client area is 6105 × 5400 twips under the menu bar.
constexpr int kClientWidth = 407;
constexpr int kClientHeight = 360;
// The centre of the start/stop button, relative to the area under the menu bar.
constexpr QPoint kStartButton(360, 24);
// A spot in the picture box, where a click does nothing.
constexpr QPoint kIdleSpot(200, 150);

// The main window and the height of its menu bar.
struct MainWindow {
    WindowId id = 0;
    int menuBarHeight = 0;
    QPoint below(const QPoint& p) const { return p + QPoint(0, menuBarHeight); }
};

// Waits for the main window with `title`, in its full display.
std::optional<MainWindow> findMainWindow(Program& program, const QString& title);

// The middle of the `index`-th caption (from 0) of the menu bar of the main window `window`,
// found on the screen as a person finds it; fails the test and gives nothing when the bar does
// not show its six captions スタート(S) 設定(O) 表示 png圧縮 見る(V) ヘルプ.
std::optional<QPoint> menuCaption(WindowId window, int index);

// Saves a picture of the screen to the temporary folder when the test has failed.
void saveScreenOnFailure();

// The lock that lets one test at a time use the screen, the pointer and the keyboard of
// $DISPLAY, also when the tests run in parallel processes.
QString screenLockPath();

// Each test has a program of its own; its end kills it and removes the test's windows.
class ProgramTest : public testing::Test {
protected:
    void SetUp() override {
        if (!desktop.connected()) {
            GTEST_SKIP() << "no X server: the test command starts one and sets DISPLAY";
        }
        ASSERT_TRUE(screenLock.tryLock(4min)) << "another test kept the screen";
    }
    void TearDown() override {
        saveScreenOnFailure();
        program.finish();
        if (desktop.connected()) {
            desktop.destroyMine();
        }
    }

    QLockFile screenLock{screenLockPath()};
    Desktop& desktop = Desktop::get();
    Program program;
};

inline const QString kStopped = QStringLiteral("ころんカメラ 停止中");
inline const QString kShooting = QStringLiteral("ころんカメラ 撮影中");

// The options dialog's OK button: left 4815, top 1695, 1560 × 375 twips.
constexpr QPoint kOptionsOkButton(373, 125);

// Confirms the program's message box titled KoronCam with Return, as a person would.
void confirmMessage(Program& program);

// A program started with prepared settings, driven through its main window.
class MainWindowTest : public ProgramTest {
protected:
    // Starts the program with `options` and waits for its main window.
    void startWith(const Options& options);
    // Starts or stops with the menu's access key, giving the main window the focus first.
    void switchByKey();
    // Starts or stops with a click on the button, wherever the focus is.
    void switchByButton();
    // Waits until the picture folder holds `count` pictures matching `patterns`; fails the test
    // otherwise.
    bool waitForPictures(size_t count, const QStringList& patterns = {"kcPic*.bmp", "kcPic*.png"});

    std::optional<MainWindow> window;
};

}  // namespace e2e
