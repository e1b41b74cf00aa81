// The built program on headless Wayland desktops: the pictures it stores are what the screen
// shows, through the ScreenCast portal (mutter) or the Screenshot portal (sway, where
// ScreenCast needs a GPU); without a portal it says so and stores nothing. It is driven through
// the accessibility bus, which works whatever the window system.

#include <chrono>
#include <memory>
#include <thread>
#include <gtest/gtest.h>
#include <unistd.h>

#include "DesktopTest.h"
#include "Pattern.h"
#include "e2e/Harness.h"

namespace waylandtest {
namespace {

using e2e::kPictureHeight;
using e2e::kPictureWidth;
using e2e::kShooting;
using e2e::kStopped;
using e2e::Options;
using e2e::Program;

// The pixels of `picture` that differ from the pattern's top-left corner; the first is named.
int differences(const QImage& picture, std::string& first) {
    const QImage expected = pattern().copy(0, 0, kPictureWidth, kPictureHeight);
    const QImage actual = picture.convertToFormat(QImage::Format_RGB32);
    if (actual.size() != expected.size()) {
        first = "size " + std::to_string(actual.width()) + "x" + std::to_string(actual.height());
        return expected.width() * expected.height();
    }
    int count = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            if ((actual.pixel(x, y) & 0xffffff) != (expected.pixel(x, y) & 0xffffff)) {
                if (count++ == 0) {
                    first = "first at " + std::to_string(x) + "," + std::to_string(y) + ": " +
                            QString::number(actual.pixel(x, y) & 0xffffff, 16).toStdString() +
                            " instead of " +
                            QString::number(expected.pixel(x, y) & 0xffffff, 16).toStdString();
                }
            }
        }
    }
    return count;
}

// One desktop for all tests of a suite; each test has a program of its own.
template <Desktop kDesktop>
class ProgramTest : public DesktopTest<kDesktop> {
protected:
    using DesktopTest<kDesktop>::session;

    void SetUp() override {
        DesktopTest<kDesktop>::SetUp();
        program = std::make_unique<Program>();
    }
    void TearDown() override {
        if (patternWindow.state() != QProcess::NotRunning) {
            patternWindow.kill();
            patternWindow.waitForFinished(5000);
        }
        if (program) {
            program->finish();
        }
        DesktopTest<kDesktop>::TearDown();
    }

    // Starts the program with `options` and `extra` lines in its settings file, as the
    // desktop's user, and waits for its main window.
    void startProgram(const Options& options, const QByteArray& extra = {}) {
        ASSERT_NO_FATAL_FAILURE(program->prepare(options));
        if (!extra.isEmpty()) {
            ASSERT_NO_FATAL_FAILURE(program->writeSettings(program->settingsBytes() + extra));
        }
        QProcessEnvironment environment = session->environment();
        environment.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
        program->useEnvironment(environment);
        // The desktop's user, who alone may use its display and bus.
        if (geteuid() == 0) {
            ASSERT_TRUE(program->runAsNobody()) << "no unprivileged user \"nobody\" here";
        }
        ASSERT_NO_FATAL_FAILURE(program->start());
        ASSERT_TRUE(waitForWindow(kStopped)) << shown().toStdString();
    }

    // What the program shows: per window its title ("window: ..."), then its texts.
    QString shown() {
        QByteArray output;
        session->run(QStringLiteral(KORONCAM_ATSPI_SCRIPT),
                     {QStringLiteral("show"), QStringLiteral("KoronCam")}, &output);
        return QString::fromUtf8(output);
    }
    bool waitForWindow(const QString& title, int timeoutMs = 20000) {
        return waitFor([&] { return shown().contains(QStringLiteral("window: ") + title); },
                       timeoutMs);
    }
    // Presses the program's button or menu item `name`, once it is there.
    bool press(const QString& name) {
        return waitFor([&] {
            return session->run(QStringLiteral(KORONCAM_ATSPI_SCRIPT),
                                {QStringLiteral("press"), QStringLiteral("KoronCam"), name}) == 0;
        });
    }

    // A window of another program titled `title` (a GTK dialog) on `backend` ("wayland", "x11").
    void openWindow(QProcess& window, const QString& title, const QString& backend) {
        QProcessEnvironment environment = session->environment();
        environment.insert(QStringLiteral("GDK_BACKEND"), backend);
        session->runAsUser(window, environment);
        window.start(QStringLiteral("zenity"),
                     {QStringLiteral("--info"), QStringLiteral("--title=") + title,
                      QStringLiteral("--text=") + title});
    }

    // The test pattern at the screen's top-left corner.
    void showPattern() {
        session->runAsUser(patternWindow);
        patternWindow.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        patternWindow.start(QStringLiteral(KORONCAM_PATTERN_WINDOW), {});
        ASSERT_TRUE(patternWindow.waitForReadyRead(10000)) << "the pattern window did not show";
        ASSERT_EQ(patternWindow.readLine().trimmed(), QByteArray("shown"));
    }

    // Waits for `count` pictures; each must show the pattern.
    void expectPicturesOfThePattern(size_t count) {
        ASSERT_TRUE(waitFor([&] {
            return e2e::pictures(program->pictureFolder()).size() >= count;
        })) << e2e::pictures(program->pictureFolder()).size()
            << " of " << count << " pictures came; the program shows:\n"
            << shown().toStdString();
        for (const QFileInfo& file : e2e::pictures(program->pictureFolder())) {
            std::string first;
            EXPECT_EQ(differences(QImage(file.filePath()), first), 0)
                << file.fileName().toStdString() << ": " << first;
        }
    }

    std::unique_ptr<Program> program;
    QProcess patternWindow;
};

// ---- sway: the Screenshot portal, and bringing PostPet up through the IPC ----

using SwayTest = ProgramTest<Desktop::Sway>;

QString focusedTitle(const Session& session) {
    return swayWindows(session).focused;
}

TEST_F(SwayTest, PicturesShowTheScreenAndPostPetComesToTheFront) {
    ASSERT_NO_FATAL_FAILURE(showPattern());
    QProcess postPet;
    openWindow(postPet, QStringLiteral("PostPet"), QStringLiteral("wayland"));
    ASSERT_TRUE(waitFor([&] { return focusedTitle(*session) == QStringLiteral("PostPet"); }));

    Options options;
    options.kcactive = true;
    ASSERT_NO_FATAL_FAILURE(startProgram(options));
    ASSERT_TRUE(waitFor([&] { return focusedTitle(*session) == kStopped; }))
        << "the program's window did not take the focus";
    ASSERT_TRUE(press(QStringLiteral("スタート")));
    EXPECT_TRUE(waitForWindow(kShooting));
    EXPECT_TRUE(waitFor([&] { return focusedTitle(*session) == QStringLiteral("PostPet"); }))
        << "PostPet stayed behind; focused: " << focusedTitle(*session).toStdString();
    expectPicturesOfThePattern(3);
    EXPECT_TRUE(press(QStringLiteral("ストップ")));
    EXPECT_TRUE(waitForWindow(kStopped));
    postPet.kill();
    postPet.waitForFinished(5000);
}

// ---- mutter: the ScreenCast portal with a restore token, no dialog ----

using MutterTest = ProgramTest<Desktop::Mutter>;

QString restoreToken(const QByteArray& settings) {
    const qsizetype section = settings.indexOf("[capture]");
    const qsizetype key = settings.indexOf("\nrestoretoken=", section);
    if (section < 0 || key < 0) {
        return {};
    }
    const qsizetype start = key + qsizetype(sizeof("\nrestoretoken=") - 1);
    const qsizetype end = settings.indexOf('\n', start);
    return QString::fromUtf8(settings.mid(start, end < 0 ? -1 : end - start)).trimmed();
}

TEST_F(MutterTest, PicturesShowTheScreenAndTheNextStartNeedsNoDialog) {
    const QString seeded = session->value(QStringLiteral("KORONCAM_RESTORE_TOKEN"));
    ASSERT_FALSE(seeded.isEmpty());
    ASSERT_NO_FATAL_FAILURE(showPattern());
    ASSERT_NO_FATAL_FAILURE(
        startProgram(Options{}, "[capture]\nrestoretoken=" + seeded.toUtf8() + "\n"));
    ASSERT_TRUE(press(QStringLiteral("スタート")));
    EXPECT_TRUE(waitForWindow(kShooting));
    expectPicturesOfThePattern(2);
    EXPECT_TRUE(press(QStringLiteral("ストップ")));
    EXPECT_TRUE(waitForWindow(kStopped));
    // What the portal answered (xdg-desktop-portal 1.16 hands the same token back).
    const QString second = restoreToken(program->settingsBytes());
    EXPECT_FALSE(second.isEmpty()) << program->settingsBytes().toStdString();
    program->finish();
    ASSERT_FALSE(HasFailure());

    // A new run with the token that the last one kept: no chooser, which nobody could answer.
    program = std::make_unique<Program>();
    ASSERT_NO_FATAL_FAILURE(
        startProgram(Options{}, "[capture]\nrestoretoken=" + second.toUtf8() + "\n"));
    ASSERT_TRUE(press(QStringLiteral("スタート")));
    expectPicturesOfThePattern(2);
    EXPECT_FALSE(restoreToken(program->settingsBytes()).isEmpty());
}

// The active X11 window's title on the desktop's Xwayland.
QString activeX11Title(const Session& session) {
    QByteArray title;
    session.run(QStringLiteral("xdotool"),
                {QStringLiteral("getactivewindow"), QStringLiteral("getwindowname")}, &title);
    return QString::fromUtf8(title).trimmed();
}

// There is no way to bring up another program's Wayland window here, but an X11 one (a Windows
// program under Wine) takes the X11 request through Xwayland.
TEST_F(MutterTest, AnX11PostPetComesToTheFrontThroughXwayland) {
    QProcess postPet;
    openWindow(postPet, QStringLiteral("PostPet"), QStringLiteral("x11"));
    ASSERT_TRUE(waitFor([&] { return activeX11Title(*session) == QStringLiteral("PostPet"); }));
    Options options;
    options.kcactive = true;
    ASSERT_NO_FATAL_FAILURE(startProgram(
        options, "[capture]\nrestoretoken=" +
                     session->value(QStringLiteral("KORONCAM_RESTORE_TOKEN")).toUtf8() + "\n"));
    ASSERT_TRUE(waitFor([&] { return activeX11Title(*session) == kStopped; }))
        << "the program's window did not take the focus";
    ASSERT_TRUE(press(QStringLiteral("スタート")));
    // Native Wayland windows cannot be brought up here: said once, and shooting goes on.
    ASSERT_TRUE(waitForWindow(QStringLiteral("KoronCam"))) << shown().toStdString();
    EXPECT_TRUE(shown().contains(QStringLiteral("前面"))) << shown().toStdString();
    ASSERT_TRUE(press(QStringLiteral("OK")));
    EXPECT_TRUE(waitFor([&] { return activeX11Title(*session) == QStringLiteral("PostPet"); }))
        << "PostPet stayed behind; active: " << activeX11Title(*session).toStdString();
    EXPECT_TRUE(waitForWindow(kShooting)) << shown().toStdString();
    postPet.kill();
    postPet.waitForFinished(5000);
}

// ---- no portal: a message, and no picture ----

using NoPortalTest = ProgramTest<Desktop::NoPortal>;

TEST_F(NoPortalTest, SaysWhatIsMissingAndStoresNothing) {
    ASSERT_NO_FATAL_FAILURE(startProgram(Options{}));
    ASSERT_TRUE(press(QStringLiteral("スタート")));
    ASSERT_TRUE(waitForWindow(QStringLiteral("KoronCam"))) << shown().toStdString();
    const QString message = shown();
    EXPECT_TRUE(message.contains(QStringLiteral("ポータル"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("PipeWire"))) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("X11"))) << message.toStdString();
    ASSERT_TRUE(press(QStringLiteral("OK")));
    EXPECT_TRUE(waitForWindow(kStopped));
    // Ticks would have come by now.
    std::this_thread::sleep_for(std::chrono::milliseconds(2500));
    EXPECT_TRUE(e2e::pictures(program->pictureFolder()).empty());
    EXPECT_TRUE(shown().contains(QStringLiteral("window: ") + kStopped));
}

}  // namespace
}  // namespace waylandtest
