// The X server going away while the program runs: the program must end, not hang.

#include <QFile>
#include <QProcess>
#include <QThread>

#include "Harness.h"

using namespace std::chrono_literals;
using e2e::Program;
using e2e::waitUntil;

TEST(XServerLoss, ProgramEndsWhenItsXServerCloses) {
    // A private X server, so that the shared one stays up for the other tests.
    int number = 200;
    while (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) {
        ++number;
    }
    const QString display = QStringLiteral(":%1").arg(number);
    QProcess server;
    server.start(QStringLiteral("Xvfb"),
                 {display, "-screen", "0", "1280x800x24", "-nolisten", "tcp"});
    if (!server.waitForStarted(5000)) {
        GTEST_SKIP() << "Xvfb cannot be started here";
    }
    const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
    ASSERT_TRUE(waitUntil([&] { return QFile::exists(socket); }, 10s));

    Program program;
    program.prepare({});
    const QByteArray before = program.settingsBytes();
    const QByteArray shared = qgetenv("DISPLAY");
    qputenv("DISPLAY", display.toUtf8());
    program.start();
    qputenv("DISPLAY", shared);
    ASSERT_FALSE(program.waitForExit(3s)) << "the program ended on its own:\n"
                                          << program.output().toStdString();

    server.kill();
    server.waitForFinished(5000);
    EXPECT_TRUE(program.waitForExit(20s)) << "the program hangs after losing its X server";
    EXPECT_EQ(program.settingsBytes(), before);
    program.kill();
}
