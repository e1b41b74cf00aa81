// Bringing a window to the front through sway's IPC, against a real headless sway with real
// windows: a Wayland one and one through Xwayland, whose EWMH activation request sway only
// marks as urgent.

#include <cstring>
#include <chrono>
#include <list>
#include <thread>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "DesktopTest.h"
#include "platform/wayland/SwayIpc.h"

namespace waylandtest {
namespace {

using platform::wayland::activateWindow;

class SwayIpcTest : public DesktopTest<Desktop::Sway> {
protected:
    void SetUp() override {
        DesktopTest::SetUp();
        if (session != nullptr) {
            socket = session->value(QStringLiteral("SWAYSOCK"));
        }
    }
    void TearDown() override {
        for (QProcess& window : windows) {
            window.kill();
            window.waitForFinished(5000);
        }
        DesktopTest::TearDown();
    }

    enum class Kind { Wayland, X11 };

    // A real window titled `title` (a GTK dialog), shown and focused.
    QProcess& open(const QString& title, Kind kind) {
        QProcess& window = windows.emplace_back();
        QProcessEnvironment environment = session->environment();
        environment.insert(QStringLiteral("GDK_BACKEND"), kind == Kind::Wayland
                                                              ? QStringLiteral("wayland")
                                                              : QStringLiteral("x11"));
        session->runAsUser(window, environment);
        window.setProcessChannelMode(QProcess::ForwardedChannels);
        window.setWorkingDirectory(QDir::tempPath());
        window.start(QStringLiteral("zenity"),
                     {QStringLiteral("--info"), QStringLiteral("--title=") + title,
                      QStringLiteral("--text=") + title});
        EXPECT_TRUE(waitFor([&] { return focusedTitle() == title; }))
            << "no focused window \"" << title.toStdString() << "\"";
        return window;
    }

    void close(QProcess& window, const QString& title) {
        window.kill();
        window.waitForFinished(5000);
        EXPECT_TRUE(waitFor([&] { return !swayWindows(*session).titles.contains(title); }));
    }

    QString focusedTitle() { return swayWindows(*session).focused; }

    bool swaymsg(const QString& command) {
        return session->run(QStringLiteral("swaymsg"), {QStringLiteral("-s"), socket, command}) ==
               0;
    }

    QString socket;
    std::list<QProcess> windows;
};

TEST_F(SwayIpcTest, ExactTitleFirstThenTheFirstThatBeginsWithIt) {
    // The prefix match comes first in the tree: an exact one later must still win.
    const QString mail = QStringLiteral("PostPet - メール");
    open(mail, Kind::X11);
    QProcess& postPet = open(QStringLiteral("PostPet"), Kind::Wayland);
    open(QStringLiteral("Other"), Kind::Wayland);

    EXPECT_TRUE(activateWindow(socket, QStringLiteral("PostPet")));
    EXPECT_EQ(focusedTitle(), QStringLiteral("PostPet"));

    close(postPet, QStringLiteral("PostPet"));
    ASSERT_TRUE(swaymsg(QStringLiteral("[title=\"^Other$\"] focus")));
    ASSERT_EQ(focusedTitle(), QStringLiteral("Other"));
    // An X11 window through Xwayland: sway takes the IPC request for it as for any other.
    EXPECT_TRUE(activateWindow(socket, QStringLiteral("PostPet")));
    EXPECT_EQ(focusedTitle(), mail);
}

TEST_F(SwayIpcTest, NoSuchWindowChangesNothing) {
    open(QStringLiteral("PostPet"), Kind::Wayland);
    open(QStringLiteral("Other"), Kind::X11);
    // A workspace of that name is no window.
    ASSERT_TRUE(swaymsg(QStringLiteral("[title=\"^Other$\"] move to workspace PostPets")));
    ASSERT_TRUE(swaymsg(QStringLiteral("workspace PostPets")));
    ASSERT_TRUE(waitFor([&] { return focusedTitle() == QStringLiteral("Other"); }));

    EXPECT_FALSE(activateWindow(socket, QStringLiteral("PostPets")));
    // The title is text, not a pattern.
    EXPECT_FALSE(activateWindow(socket, QStringLiteral("Post.et")));
    EXPECT_FALSE(activateWindow(socket, QStringLiteral("^PostPet")));
    EXPECT_FALSE(activateWindow(socket, QString()));
    EXPECT_EQ(focusedTitle(), QStringLiteral("Other"));

    // And a window on another workspace is brought there.
    EXPECT_TRUE(activateWindow(socket, QStringLiteral("PostPet")));
    EXPECT_EQ(focusedTitle(), QStringLiteral("PostPet"));
    ASSERT_TRUE(swaymsg(QStringLiteral("workspace 1")));
}

// A compositor's socket that takes connections; what it says is the test's.
struct FakeCompositor {
    explicit FakeCompositor(const char* kind)
        : path(QDir::temp().filePath(QStringLiteral("koroncam-%1-%2.sock")
                                         .arg(QLatin1String(kind))
                                         .arg(QCoreApplication::applicationPid()))),
          name(QFile::encodeName(path)),
          listener(socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, name.constData(), std::size_t(name.size()));
        unlink(name.constData());
        listening =
            listener >= 0 &&
            bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 &&
            listen(listener, 1) == 0;
    }
    ~FakeCompositor() { stop(); }
    void stop() {
        if (listener >= 0) {
            close(listener);
            unlink(name.constData());
            listener = -1;
        }
    }
    const QString path;
    const QByteArray name;
    int listener;
    bool listening = false;
};

// A compositor that takes the connection and never answers must not hold up the picture.
// Asking `path` to bring up PostPet fails, after at least `atLeastMs` and before `belowMs`.
void expectRefusedWithin(const QString& path, qint64 atLeastMs, qint64 belowMs) {
    QElapsedTimer took;
    took.start();
    EXPECT_FALSE(activateWindow(path, QStringLiteral("PostPet")));
    EXPECT_GE(took.elapsed(), atLeastMs);
    EXPECT_LT(took.elapsed(), belowMs);
}

TEST(SwayIpcSocketTest, SilentOrMissingCompositorGivesUpWithinAboutASecond) {
    FakeCompositor compositor("silent");
    ASSERT_TRUE(compositor.listening);
    expectRefusedWithin(compositor.path, 900, 3000);
    compositor.stop();
    expectRefusedWithin(compositor.path, 0, 500);  // nobody listens now
    expectRefusedWithin(QString(), 0, 500);
}

// A compositor that answers, but a byte at a time, must not hold the window either: the second
// is for the whole exchange, not for each read.
TEST(SwayIpcSocketTest, SlowCompositorGivesUpWithinAboutASecond) {
    FakeCompositor compositor("slow");
    ASSERT_TRUE(compositor.listening);
    std::thread peer([listener = compositor.listener] {
        const int client = accept(listener, nullptr, nullptr);
        // A well-formed answer to GET_TREE of 40 bytes, sent a byte every 100 ms.
        QByteArray answer("i3-ipc");
        const std::uint32_t length = 40;
        const std::uint32_t type = 4;
        answer.append(reinterpret_cast<const char*>(&length), 4);
        answer.append(reinterpret_cast<const char*>(&type), 4);
        answer.append(QByteArray(40, ' '));
        for (const char byte : answer) {
            if (send(client, &byte, 1, MSG_NOSIGNAL) != 1) {
                break;  // the program gave up and closed
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        close(client);
    });

    expectRefusedWithin(compositor.path, 900, 1500);
    peer.join();
}

}  // namespace
}  // namespace waylandtest
