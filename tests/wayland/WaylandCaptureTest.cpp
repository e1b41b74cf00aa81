// The main window on a Wayland desktop: the real portal backend against a fake portal on a
// private session bus, and a canned screen stream.

#include "app/Form1Fixture.h"

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageWriter>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include "FakePortal.h"
#include "platform/Profile.h"
#include "platform/wayland/WaylandScreen.h"

using platform::wayland::CaptureMode;
using platform::wayland::PortalStream;
using platform::wayland::PortalTimeouts;
using platform::wayland::WaylandScreen;
using testing_support::FakeFrameStream;
using testing_support::FakePortal;
using testing_support::FakeStreamScript;

namespace {

// A screen whose every pixel differs from its neighbours, so a shifted cut would show.
QImage patternedScreen() {
    QImage image(1920, 1080, QImage::Format_RGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            row[x] = qRgb(x % 251, y % 241, (x + y) % 239);
        }
    }
    return image;
}

const QString kNoPicture = QStringLiteral("画面を撮影できませんでした。\r\n撮影を停止します。");

}  // namespace

class WaylandCaptureTest : public Form1Test {
protected:
    FakePortal portal;
    FakeStreamScript streams;
    PortalTimeouts timeouts{3000, 3000, 3000};
    std::unique_ptr<WaylandScreen> screen;
    const QImage frame = patternedScreen();

    WaylandCaptureTest() {
        platform::wayland::registerPortalTypes();
        streams.frame = frame;
        portal.startResults = {
            {QStringLiteral("streams"), QVariant::fromValue(QList<PortalStream>{{42, {}}})},
            {QStringLiteral("restore_token"), QStringLiteral("token-2")}};
        writeSettings("kcactive=False\nstopiffull=True\n[capture]\nrestoretoken=token-1\n");
    }
    void TearDown() override {
        form.reset();  // closes the capture while the screen is still there
        screen.reset();
        QTest::qWait(50);  // lets the last calls go out before the fake portal leaves
    }

    // Starts the window over the portal backend; `withPortal` false: no portal on the bus.
    void startOnWayland(bool withPortal = true) {
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
            << "run under dbus-run-session --config-file=tests/wayland/session-bus.conf";
        if (withPortal) {
            ASSERT_TRUE(portal.registerOnBus()) << "the portal's name is taken on this bus";
        }
        screen = std::make_unique<WaylandScreen>(QDBusConnection::sessionBus(), timeouts, [this] {
            return std::make_unique<FakeFrameStream>(streams);
        });
        platform::Services services = platform::services();
        services.screen = screen.get();
        platform::use(services);
        start();
    }

    bool waitUntil(const std::function<bool()>& condition, int ms = 5000) {
        return QTest::qWaitFor(condition, ms);
    }
    bool waitUntilStopped() {
        return waitUntil([this] { return !timer()->isActive(); });
    }
    QString keptToken(const QString& section = QStringLiteral("capture")) const {
        return platform::profile::read(fake.iniPath(), section, QStringLiteral("restoretoken"),
                                       QStringLiteral("(none)"));
    }
    QString sessionPath() const {
        const QString token =
            portal.optionsOf("CreateSession").value("session_handle_token").toString();
        QString sender = QDBusConnection::sessionBus().baseService();
        sender.remove(':').replace('.', '_');
        return "/org/freedesktop/portal/desktop/session/" + sender + "/" + token;
    }
    QString lastRequest(const QString& method) const {
        const auto calls = portal.callsOf(method);
        return calls.empty() ? QString() : calls.back().requestPath;
    }
    // The picture stored at the only name the fake clock gives.
    QImage storedPicture() const {
        return QImage(pictureFolder() + QStringLiteral("kcPic2000-01-15-09-05-07.bmp"));
    }
    void expectCutFrom(const QImage& stored, const QImage& screenImage) {
        ASSERT_EQ(stored.size(), QSize(386, 300)) << fake.ui.lastMessage().toStdString();
        for (const QPoint p :
             {QPoint(0, 0), QPoint(385, 0), QPoint(0, 299), QPoint(385, 299), QPoint(200, 150)}) {
            EXPECT_EQ(stored.pixel(p), screenImage.pixel(p)) << p.x() << "," << p.y();
        }
    }
};

TEST_F(WaylandCaptureTest, ScreenCastStoresTheScreenAndKeepsTheNewTokenEachTime) {
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::ScreenCast; }));
    const QVariantMap select = portal.optionsOf("SelectSources");
    EXPECT_EQ(select.value("restore_token").toString(), "token-1");
    EXPECT_EQ(select.value("types").typeId(), QMetaType::UInt);
    EXPECT_EQ(select.value("types").toUInt(), 1u) << "a monitor";
    EXPECT_EQ(select.value("multiple").toBool(), false);
    EXPECT_EQ(select.value("cursor_mode").toUInt(), 1u) << "pointer hidden";
    EXPECT_EQ(select.value("persist_mode").toUInt(), 2u);
    EXPECT_EQ(streams.nodes, std::vector<uint>({42}));
    EXPECT_EQ(keptToken(), "token-2");
    EXPECT_EQ(keptToken("init"), "(none)") << "never among the settings";

    form->Timer1_Timer();
    expectCutFrom(storedPicture(), frame);
    EXPECT_TRUE(fake.ui.messages.empty());

    form->cmdStart_Click();
    EXPECT_FALSE(timer()->isActive());
    EXPECT_TRUE(waitUntil([&] { return portal.closed(sessionPath()); })) << "session left open";
    EXPECT_EQ(streams.alive, 0) << "stream left open";

    portal.startResults["restore_token"] = QStringLiteral("token-3");
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::ScreenCast; }));
    EXPECT_EQ(portal.optionsOf("SelectSources").value("restore_token").toString(), "token-2");
    EXPECT_EQ(keptToken(), "token-3");
}

TEST_F(WaylandCaptureTest, RefusalEndsStoppedWithTheMessageAndNoPicture) {
    portal.answers["Start"] = FakePortal::Answer::Cancelled;
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntilStopped());
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.lastMessage(), platform::wayland::refusedMessage());
    EXPECT_TRUE(fake.ui.lastMessage().contains("許可"));
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
    EXPECT_EQ(button()->text(), "スタート");
    EXPECT_TRUE(waitUntil([&] { return portal.closed(sessionPath()); }));
    form->Timer1_Timer();
    EXPECT_TRUE(pictures().isEmpty());
    EXPECT_EQ(keptToken(), "token-1") << "a refusal gives no new token";
}

TEST_F(WaylandCaptureTest, UnansweredStartTimesOutStoppedAndClosesTheDialog) {
    timeouts.chooserMs = 600;
    portal.answers["Start"] = FakePortal::Answer::Never;
    startOnWayland();
    QElapsedTimer waited;
    waited.start();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntilStopped());
    EXPECT_GE(waited.elapsed(), 550);
    EXPECT_EQ(fake.ui.lastMessage(), platform::wayland::timedOutMessage());
    EXPECT_TRUE(waitUntil([&] { return portal.closed(lastRequest("Start")); }))
        << "the desktop's dialog left open";
    EXPECT_TRUE(waitUntil([&] { return portal.closed(sessionPath()); }));
    EXPECT_TRUE(pictures().isEmpty());
}

TEST_F(WaylandCaptureTest, WindowRunsWhileTheDesktopAsksAndStopGivesUp) {
    portal.answers["Start"] = FakePortal::Answer::Never;
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntil([&] { return !lastRequest("Start").isEmpty(); }));
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(button()->text(), "ストップ");
    QTest::qWait(1100);  // the timer ticks meanwhile: no picture, no message
    EXPECT_TRUE(pictures().isEmpty());
    EXPECT_TRUE(fake.ui.messages.empty());

    button()->click();
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
    EXPECT_TRUE(waitUntil([&] { return portal.closed(lastRequest("Start")); }));
    EXPECT_TRUE(waitUntil([&] { return portal.closed(sessionPath()); }));

    portal.respond(lastRequest("Start"), 0, portal.startResults);  // too late: ignored
    QTest::qWait(200);
    EXPECT_FALSE(timer()->isActive());
    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_TRUE(streams.nodes.empty());
    EXPECT_EQ(keptToken(), "token-1");
}

TEST_F(WaylandCaptureTest, NoFrameFromTheStreamEndsStoppedWithoutAPicture) {
    timeouts.firstFrameMs = 400;
    streams.frame = QImage();
    portal.hasScreenshot = false;
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntilStopped());
    EXPECT_TRUE(fake.ui.lastMessage().contains("PipeWire"));
    EXPECT_TRUE(fake.ui.lastMessage().contains("X11"));
    EXPECT_EQ(streams.alive, 0);
    EXPECT_TRUE(waitUntil([&] { return portal.closed(sessionPath()); }));
    form->Timer1_Timer();
    EXPECT_TRUE(pictures().isEmpty());
    EXPECT_EQ(keptToken(), "token-2") << "the permission was given all the same";
}

TEST_F(WaylandCaptureTest, AFrameGoneWhileShootingIsNoPictureAndStops) {
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::ScreenCast; }));
    streams.frame = QImage();  // the stream ended
    form->Timer1_Timer();
    EXPECT_EQ(fake.ui.lastMessage(), kNoPicture);
    EXPECT_FALSE(timer()->isActive());
    EXPECT_TRUE(pictures().isEmpty()) << "never a black or an old picture";
}

// While the screen changes, a picture waits for the frame after the newest, which may be a fifth
// of a second old; a still screen's picture, or a fresh frame, is taken at once; ストップ during
// the wait leaves no picture.
TEST_F(WaylandCaptureTest, APictureOfAChangingScreenWaitsForTheNextFrame) {
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::ScreenCast; }));
    const QImage next = frame.mirrored(true, true);
    struct Case {
        const char* what;
        std::int64_t newestAgeMs;
        bool comes;  // the next frame comes 30 ms after the picture is asked for
        bool stopMeanwhile;
        bool waits;
    };
    for (const Case c : {Case{"still screen", 5000, false, false, false},
                         Case{"fresh frame", 10, true, false, false},
                         Case{"frames coming", 120, true, false, true},
                         Case{"screen stood still since", 120, false, false, false},
                         Case{"stopped meanwhile", 120, false, true, false}}) {
        SCOPED_TRACE(c.what);
        if (screen->mode() != CaptureMode::ScreenCast) {
            form->cmdStart_Click();
            ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::ScreenCast; }));
        }
        streams.frame = frame;
        streams.arrivals = {7, c.newestAgeMs};
        QTimer::singleShot(30, [&] {
            if (c.comes) {
                streams.frame = next;
                streams.arrivals = {8, 0};
            }
            if (c.stopMeanwhile) {
                screen->closeCapture();
            }
        });
        QElapsedTimer took;
        took.start();
        const bool taken = screen->pressPrintScreen();
        EXPECT_LT(took.elapsed(), 400);
        EXPECT_EQ(taken, !c.stopMeanwhile);
        if (taken) {
            EXPECT_EQ(screen->clipboardPicture().pixel(0, 0),
                      (c.waits ? next : frame).pixel(0, 0));
        }
        QTest::qWait(40);  // the timer has fired
    }
}

TEST_F(WaylandCaptureTest, WithoutAPortalTheMessageNamesWhatIsMissing) {
    startOnWayland(false);
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntilStopped());
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    const QString text = fake.ui.lastMessage();
    for (const char* word : {"xdg-desktop-portal", "PipeWire", "xdg-desktop-portal-gnome",
                             "xdg-desktop-portal-wlr", "X11"}) {
        EXPECT_TRUE(text.contains(word)) << word << " not in: " << text.toStdString();
    }
    form->Timer1_Timer();
    EXPECT_TRUE(pictures().isEmpty());
}

TEST_F(WaylandCaptureTest, WithoutAnyCaptureInterfaceTheBackendIsNamed) {
    portal.hasScreenCast = false;
    portal.hasScreenshot = false;
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntilStopped());
    EXPECT_TRUE(fake.ui.lastMessage().contains("バックエンド"));
    EXPECT_TRUE(pictures().isEmpty());
}

// However the desktop ends the sharing (its session's Closed signal, or the stream going away),
// shooting stops with its own message and nothing is stored from then on.
TEST_F(WaylandCaptureTest, SharingEndedByTheDesktopStopsWithItsMessage) {
    for (const bool byTheStream : {false, true}) {
        SCOPED_TRACE(byTheStream ? "the stream ended" : "the session closed");
        fake.ui.messages.clear();
        streams.ended = false;
        if (!form) {
            startOnWayland();
        }
        form->cmdStart_Click();
        ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::ScreenCast; }));
        if (byTheStream) {
            streams.ended = true;  // its last frame is still at hand, and must not be stored
            form->Timer1_Timer();
        } else {
            portal.closeFromDesktop(sessionPath());
            ASSERT_TRUE(waitUntilStopped());
        }
        EXPECT_FALSE(timer()->isActive());
        EXPECT_EQ(button()->text(), "スタート");
        ASSERT_EQ(fake.ui.messages.size(), 1u);
        EXPECT_EQ(fake.ui.lastMessage(), platform::wayland::sharingEndedMessage());
        EXPECT_TRUE(fake.ui.lastMessage().contains("スタート"));
        EXPECT_EQ(streams.alive, 0);
        form->Timer1_Timer();
        EXPECT_TRUE(pictures().isEmpty());
    }
}

class ScreenshotTest : public WaylandCaptureTest {
protected:
    QImage shot = patternedScreen().mirrored(true, false);
    QString shotFile;

    // The desktop's PNG, written where `folder` says.
    void provideShot(const QString& folder) {
        // Named by this process: test runs side by side must not take each other's file.
        shotFile =
            folder +
            QStringLiteral("/koroncam-test-shot-%1.png").arg(QCoreApplication::applicationPid());
        ASSERT_TRUE(QImageWriter(shotFile, "png").write(shot));
        portal.screenshotUri = QUrl::fromLocalFile(shotFile).toString();
    }
    void TearDown() override {
        WaylandCaptureTest::TearDown();
        QFile::remove(shotFile);
    }
};

TEST_F(ScreenshotTest, ServesWhenScreenCastIsMissingAndRemovesItsTemporaryFile) {
    portal.hasScreenCast = false;
    provideShot(QDir::tempPath());
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::Screenshot; }));
    form->Timer1_Timer();
    expectCutFrom(storedPicture(), shot);
    EXPECT_EQ(portal.optionsOf("Screenshot").value("interactive"), QVariant(false));
    EXPECT_FALSE(QFile::exists(shotFile)) << "temporary file left behind";
    EXPECT_EQ(keptToken(), "token-1");
}

// A desktop that keeps every screenshot in the user's folders is no stand-in for the stream: the
// file made for the call goes, a link is neither read nor removed, and shooting stops saying why.
TEST_F(ScreenshotTest, AnAnswerOutsideTemporaryFoldersIsRemovedAndStopsShooting) {
    portal.answers["Start"] = FakePortal::Answer::Failed;
    // A folder that is neither temporary nor a cache: the build folder may lie in /tmp.
    const QTemporaryDir outside(QDir::homePath() + QStringLiteral("/.koroncam-test-XXXXXX"));
    if (!outside.isValid() || QDir::homePath().startsWith(QStringLiteral("/tmp")) ||
        QDir::homePath().startsWith(QDir::tempPath())) {
        GTEST_SKIP() << "no folder outside the temporary folders: home is "
                     << QDir::homePath().toStdString();
    }
    portal.answers["Screenshot"] = FakePortal::Answer::Never;
    for (const bool link : {false, true}) {
        SCOPED_TRACE(link ? "a link" : "a file");
        fake.ui.messages.clear();
        if (!form) {
            startOnWayland();
        }
        form->cmdStart_Click();
        ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::Screenshot; }));
        // The desktop writes its file while the call runs.
        const QString answer = outside.path() + QStringLiteral("/Screenshot.png");
        QTimer::singleShot(100, form.get(), [&] {
            provideShot(outside.path());
            ASSERT_TRUE(link ? QFile::link(shotFile, answer) : QFile::rename(shotFile, answer));
            portal.respond(lastRequest("Screenshot"), 0,
                           {{"uri", QUrl::fromLocalFile(answer).toString()}});
        });
        form->Timer1_Timer();
        EXPECT_FALSE(timer()->isActive());
        EXPECT_TRUE(pictures().isEmpty());
        ASSERT_EQ(fake.ui.messages.size(), 1u);
        EXPECT_TRUE(fake.ui.lastMessage().startsWith(
            platform::wayland::screenshotLeavesFilesMessage(QString()).section("\r\n", 0, 0)));
        EXPECT_TRUE(fake.ui.lastMessage().contains("画面の共有を始められませんでした"))
            << "the stream's reason";
        EXPECT_EQ(QFileInfo(answer).isSymLink(), link) << "a link removed";
        EXPECT_EQ(QFileInfo::exists(answer), link) << "the desktop's file left behind";
        EXPECT_EQ(QFile::exists(shotFile), link) << "a link followed";
        QFile::remove(answer);
        form->Timer1_Timer();
        EXPECT_TRUE(pictures().isEmpty());
    }
}

TEST_F(ScreenshotTest, WindowRunsWhileThePictureIsTakenAndTheStopComesAfterIt) {
    portal.hasScreenCast = false;
    portal.answers["Screenshot"] = FakePortal::Answer::Never;
    provideShot(QDir::tempPath());
    startOnWayland();
    form->cmdStart_Click();
    ASSERT_TRUE(waitUntil([&] { return screen->mode() == CaptureMode::Screenshot; }));
    int clicksSeenDuringTheCall = 0;
    QTimer::singleShot(300, form.get(), [&] {
        form->Timer1_Timer();  // a tick meanwhile: the busy picture keeps it out
        button()->click();
        clicksSeenDuringTheCall = timer()->isActive() ? 0 : 1;
        portal.respond(lastRequest("Screenshot"), 0,
                       {{"uri", QUrl::fromLocalFile(shotFile).toString()}});
    });
    form->Timer1_Timer();
    EXPECT_EQ(clicksSeenDuringTheCall, 1);
    EXPECT_EQ(portal.callsOf("Screenshot").size(), 1u);
    EXPECT_FALSE(timer()->isActive());
    expectCutFrom(storedPicture(), shot);  // the picture in hand is completed
}
