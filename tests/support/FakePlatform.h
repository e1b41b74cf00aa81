#pragma once
// Stand-ins for the platform layer: scripted answers, recorded calls, a temporary application
// folder. Install one per test with FakePlatform::install(); it restores nothing, the next test
// installs its own.

#include <deque>
#include <functional>
#include <optional>
#include <vector>
#include <QDialog>
#include <QTemporaryDir>

#include "platform/Errors.h"
#include "platform/Platform.h"

namespace testing_support {

// How FakeUi::endProgram ends the program: it unwinds to the guard of the event handler, so the
// test goes on and can see the end.
struct ProgramEnded {
    int status;
};

class FakeUi : public platform::Ui {
public:
    struct Message {
        QString text;
        platform::Buttons buttons;
        platform::Icon icon;
        QString title;  // as shown: the application title when none was given
    };

    std::vector<Message> messages;
    std::deque<platform::Answer> answers;           // next answers; Ok when empty
    std::function<void(const Message&)> onMessage;  // runs while the box is "open"
    std::function<void()> onDoEvents;               // scripted events during a yield
    std::function<int(QDialog&)> onShowModal;       // acts on the dialog; rejects when unset
    int doEventsCalls = 0;
    int endedWith = -1;  // the status the program ended with, -1 while running

    platform::Answer msgBox(QWidget*, const QString& text, platform::Buttons buttons,
                            platform::Icon icon, const QString& title) override;
    void doEvents() override;
    void waitUntilShown(QWidget&) override {}
    int showModal(QDialog& dialog) override;
    [[noreturn]] void endProgram(int status) override;

    bool programEnded() const override { return endedWith >= 0; }
    bool ended() const { return endedWith >= 0; }
    QString lastMessage() const { return messages.empty() ? QString() : messages.back().text; }
};

class FakeClock : public platform::Clock {
public:
    QDateTime time = QDateTime(QDate(2000, 1, 15), QTime(9, 5, 7));
    QDateTime now() override { return time; }
};

class FakeScreen : public platform::Screen {
public:
    bool isAvailable = true;  // openCapture answers ok, else with `problem`
    QString problem = QStringLiteral("画面を撮影できません。");
    bool answerLater = false;  // openCapture keeps its handler in `pendingOpen` for the test
    OpenedHandler pendingOpen;
    std::optional<QString> newToken;  // the token that a successful open hands back
    std::vector<QString> tokensGiven;
    int closes = 0;
    bool canActivate = true;
    bool captureWorks = true;
    QImage picture;  // what a capture yields
    std::vector<QString> activated;
    int captures = 0;
    EndedHandler ended;  // the window's; a test calls it as the desktop would

    void openCapture(const QString& restoreToken, OpenedHandler done) override;
    void closeCapture() override;
    void setCaptureEndedHandler(EndedHandler handler) override { ended = std::move(handler); }
    bool pressPrintScreen() override;
    QImage clipboardPicture() override { return captured_; }
    bool canActivateWindows() override { return canActivate; }
    bool activateWindow(const QString& title) override;

private:
    QImage captured_;
};

// Calls the real encoder library (linked into the tests) unless told to fail.
class FakePngLibrary : public platform::PngLibrary {
public:
    struct Call {
        QString bmp, png, options;  // bmp is empty for a picture given in memory
    };
    std::vector<Call> calls;
    int16_t failWith = 0;  // non-zero: every call fails with this code without converting
    std::function<void()> beforeCall;

    int16_t bmpToPng(const QString& bmpPath, const QString& pngPath,
                     const QString& options) override;
    int16_t pixelsToPng(const QImage& picture, const QString& pngPath,
                        const QString& options) override;

private:
    // Records the call; a non-zero answer when the call is to fail.
    int16_t record(const Call& call);
};

class FakeHelp : public platform::Help {
public:
    struct Request {
        QWidget* caller;
        QString file;
        unsigned command, data;
    };
    std::vector<Request> requests;
    void show(QWidget* caller, const QString& file, unsigned command, unsigned data) override {
        requests.push_back({caller, file, command, data});
    }
};

class FakePlatform {
public:
    FakeUi ui;
    FakeClock clock;
    FakeScreen screen;
    FakePngLibrary png;
    FakeHelp help;
    QTemporaryDir appDir;

    FakePlatform() { install(); }
    void install();
    QString appFolder() const { return appDir.path(); }
    QString iniPath() const { return appDir.path() + QStringLiteral("/KoronCam.ini"); }
};

// Writes `bytes` to `path`, creating or replacing the file; fails the test on error.
void writeFile(const QString& path, const QByteArray& bytes);
// The bytes of `path`; an empty array when it cannot be read.
QByteArray readFile(const QString& path);

}  // namespace testing_support
