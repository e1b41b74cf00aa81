// The interval between pictures and skipping a picture equal to the last one, with the program's
// real timer and clock: settings from the file and from the options dialog.

#include <sys/inotify.h>
#include <unistd.h>

#include "Harness.h"

namespace e2e {
namespace {

// A still corner of the screen, one colour per picture, whatever else the screen shows.
QImage still(const QColor& colour) {
    QImage image(kPictureWidth, kPictureHeight, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Counts the program's stores into the folder: each renames a finished file onto its picture's
// name, so a picture that replaces another makes one store more than there are pictures.
class Stores {
public:
    explicit Stores(const QString& folder) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
        EXPECT_GE(inotify_add_watch(fd_, folder.toUtf8().constData(), IN_MOVED_TO), 0);
    }
    ~Stores() { ::close(fd_); }
    size_t count() {
        alignas(inotify_event) char buffer[8192];
        for (ssize_t n; (n = ::read(fd_, buffer, sizeof buffer)) > 0;) {
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                count_ += QByteArray(event->name).startsWith("kcPic");
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        return count_;
    }

private:
    int fd_;
    size_t count_ = 0;
};

class IntervalTest : public MainWindowTest {
protected:
    // Starts the program with the default options and `extra` after them; `told`: the program
    // first tells of bad values, and the test confirms the message.
    void startWithExtra(const QByteArray& extra, bool told = false) {
        ASSERT_NO_FATAL_FAILURE(program.prepare({}));
        ASSERT_NO_FATAL_FAILURE(program.writeSettings(program.settingsBytes() + extra));
        ASSERT_NO_FATAL_FAILURE(program.start());
        if (told) {
            ASSERT_NO_FATAL_FAILURE(confirmMessage(program));
        }
        window = findMainWindow(program, kStopped);
        ASSERT_TRUE(window.has_value());
    }
    void stop() {
        switchByKey();
        ASSERT_TRUE(desktop.waitForTitle(window->id, kStopped));
    }
    size_t count() { return pictures(program.pictureFolder()).size(); }
};

TEST_F(IntervalTest, AStillScreenGivesOnePictureAndAChangeTheNext) {
    desktop.makeOverlay({0, 0}, still(QColor(200, 40, 90)));
    ASSERT_NO_FATAL_FAILURE(startWithExtra("[extra]\nskipsame=True\n"));
    switchByKey();
    ASSERT_TRUE(waitForPictures(1));
    std::this_thread::sleep_for(3500ms);  // three ticks or more
    EXPECT_EQ(count(), 1u);
    desktop.makeOverlay({0, 0}, still(QColor(30, 160, 220)));
    ASSERT_TRUE(waitForPictures(2));
    std::this_thread::sleep_for(2500ms);
    ASSERT_NO_FATAL_FAILURE(stop());
    const std::vector<QFileInfo> files = pictures(program.pictureFolder());
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(QImage(files[0].filePath()).convertToFormat(QImage::Format_RGB32),
              still(QColor(200, 40, 90)));
    EXPECT_EQ(QImage(files[1].filePath()).convertToFormat(QImage::Format_RGB32),
              still(QColor(30, 160, 220)));
}

TEST_F(IntervalTest, TwoSecondsApartByNameAndByTime) {
    ASSERT_NO_FATAL_FAILURE(startWithExtra("[extra]\ninterval=2\n"));
    switchByKey();
    ASSERT_TRUE(waitForPictures(4));
    ASSERT_NO_FATAL_FAILURE(stop());
    const std::vector<QFileInfo> files = pictures(program.pictureFolder());
    int slipped = 0;
    for (size_t i = 1; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].fileName().toStdString());
        const qint64 byName =
            timeInName(files[i - 1].fileName()).secsTo(timeInName(files[i].fileName()));
        const qint64 byTime = files[i - 1].lastModified().msecsTo(files[i].lastModified());
        EXPECT_TRUE(byName == 2 || byName == 3) << byName;
        slipped += byName == 3;  // a loaded machine may let a tick slip past its second
        EXPECT_GE(byTime, 1400);
        EXPECT_LE(byTime, 3000);
    }
    EXPECT_LE(slipped, 1);
}

TEST_F(IntervalTest, StartedAtAnyPhaseOfASecondEveryTickLeavesItsOwnPicture) {
    Options roomy;
    roomy.maxpathsize = 10;  // twenty pictures
    ASSERT_NO_FATAL_FAILURE(startWith(roomy));
    Stores stores(program.pictureFolder());
    int inTheMiddle = 0;
    int later = 0;
    // Near the end of a second, where ticks that kept the start's phase lost pictures, and
    // elsewhere.
    for (const int phaseMs : {930, 960, 990, 250, 600}) {
        SCOPED_TRACE(phaseMs);
        const size_t before = count();
        focus(window->id, window->below(kIdleSpot));
        std::this_thread::sleep_for(Millis((phaseMs - QTime::currentTime().msec() + 1000) % 1000));
        pressKeys(QStringLiteral("alt+s"));
        ASSERT_TRUE(waitForPictures(before + 4));
        ASSERT_NO_FATAL_FAILURE(stop());
        const std::vector<QFileInfo> files = pictures(program.pictureFolder());
        for (size_t i = before + 1; i < files.size(); ++i, ++later) {
            const int ms = files[i].lastModified().time().msec();
            inTheMiddle += ms >= 450 && ms < 900;
        }
    }
    EXPECT_EQ(stores.count(), count()) << "pictures were replaced";
    // The ticks after the first sit in the middle of their second; a loaded machine may delay a
    // few past it.
    EXPECT_GE(inTheMiddle * 3, later * 2) << inTheMiddle << " of " << later;
}

TEST_F(IntervalTest, BadExtraValuesAreToldAndTheDefaultsUsed) {
    desktop.makeOverlay({0, 0}, still(QColor(90, 90, 90)));
    ASSERT_NO_FATAL_FAILURE(startWithExtra("[extra]\ninterval=abc\nskipsame=maybe\n", true));
    switchByKey();
    ASSERT_TRUE(waitForPictures(3)) << "a still screen is stored: skipsame is off";
    ASSERT_NO_FATAL_FAILURE(stop());
    const std::vector<QFileInfo> files = pictures(program.pictureFolder());
    EXPECT_LE(timeInName(files[0].fileName()).secsTo(timeInName(files[2].fileName())), 3)
        << "one second apart";
}

TEST_F(IntervalTest, OkWritesTheExtraSectionAfterTheInitSectionLeftAsItWas) {
    ASSERT_NO_FATAL_FAILURE(program.prepare({}));
    const QByteArray init = program.settingsBytes();
    ASSERT_NO_FATAL_FAILURE(program.start());
    window = findMainWindow(program, kStopped);
    ASSERT_TRUE(window.has_value());
    focus(window->id, window->below(kIdleSpot));
    pressKeys(QStringLiteral("alt+o"));
    const std::optional<WindowId> dialog = program.waitForWindow(QStringLiteral("設定"));
    ASSERT_TRUE(dialog.has_value());
    click(*dialog, QPoint(96, 214));  // the interval's box
    pressKeys(QStringLiteral("ctrl+a"));
    pressKeys(QStringLiteral("2"));
    click(*dialog, QPoint(16, 243));  // 前と同じ画面は保存しない
    click(*dialog, kOptionsOkButton);
    EXPECT_TRUE(desktop.waitForNoWindow(QStringLiteral("設定"), program.pid()));
    EXPECT_EQ(program.settingsBytes().toStdString(),
              (init + "[extra]\ninterval=2\nskipsame=True\n").toStdString());
}

}  // namespace
}  // namespace e2e
