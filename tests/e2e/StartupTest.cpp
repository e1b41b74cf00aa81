// Starting the program: the first start without a settings file, a settings file it cannot
// read, and the compact display kept in the settings.

#include <algorithm>
#include <QDir>

#include "Harness.h"

namespace e2e {
namespace {

using StartupTest = ProgramTest;

TEST_F(StartupTest, FirstStartAsksForTheSettingsAndCreatesThemAndTheFolder) {
    program.start();
    const std::optional<WindowId> dialog = program.waitForWindow(QStringLiteral("設定"));
    ASSERT_TRUE(dialog.has_value());
    const std::optional<WindowId> main = program.waitForWindow(QStringLiteral("ころんカメラ"), 5s);
    ASSERT_TRUE(main.has_value()) << "the main window shows its first title behind the dialog";
    const std::vector<WindowId> stacking = desktop.stackingBottomUp();
    const auto dialogAt = std::find(stacking.begin(), stacking.end(), *dialog);
    const auto mainAt = std::find(stacking.begin(), stacking.end(), *main);
    ASSERT_NE(dialogAt, stacking.end());
    ASSERT_NE(mainAt, stacking.end());
    EXPECT_GT(dialogAt, mainAt) << "the dialog is not above the main window";
    EXPECT_FALSE(QFileInfo::exists(program.settingsPath())) << "written before OK";
    EXPECT_FALSE(QFileInfo::exists(program.folder() + "/bmp")) << "created before OK";

    click(*dialog, kOptionsOkButton);
    // The default folder bmp beside the program does not exist: the program asks to create it.
    confirmMessage(program);
    ASSERT_TRUE(desktop.waitForTitle(*main, kStopped));
    EXPECT_TRUE(desktop.waitForNoWindow(QStringLiteral("設定"), program.pid(), 5s));
    EXPECT_TRUE(QFileInfo(program.folder() + "/bmp").isDir());
    EXPECT_EQ(program.settingsBytes().toStdString(),
              ("[init]\nmaxpathsize=2\npath=" + program.folder() +
               "/bmp/\nkcactive=True\nstopiffull=True\nrunpng=False\n")
                  .toStdString());
    EXPECT_FALSE(QFileInfo::exists(program.folder() + "/test.bmp"))
        << "start-up left its test picture";
}

TEST_F(StartupTest, FirstStartShowsTheDialogOnTopOfTheMainWindow) {
    program.start();
    const std::optional<WindowId> dialog = program.waitForWindow(QStringLiteral("設定"));
    ASSERT_TRUE(dialog.has_value());
    const std::optional<WindowId> main = program.waitForWindow(QStringLiteral("ころんカメラ"), 5s);
    ASSERT_TRUE(main.has_value());
    const QRect dialogFrame = desktop.placement(*dialog).value_or(Placement{}).outer;
    const QRect mainFrame = desktop.placement(*main).value_or(Placement{}).outer;
    EXPECT_TRUE(mainFrame.contains(dialogFrame.center()))
        << "dialog at " << dialogFrame.x() << "," << dialogFrame.y() << ", main window at "
        << mainFrame.x() << "," << mainFrame.y();
}

TEST_F(StartupTest, ValueThatDoesNotConvertIsReportedAndEndsTheProgramLeavingTheFile) {
    const QByteArray settings =
        "[init]\nmaxpathsize=abc\npath=" + program.pictureFolder().toUtf8() +
        "\nkcactive=False\nstopiffull=True\nrunpng=False\n";
    program.writeSettings(settings);
    program.start();
    confirmMessage(program);
    ASSERT_TRUE(program.waitForExit(kWindowTimeout)) << "the program runs on";
    EXPECT_NE(program.exitCode(), -1) << "it crashed";
    EXPECT_EQ(program.settingsBytes(), settings);
    EXPECT_FALSE(QFileInfo::exists(program.folder() + "/bmp")) << "it went on to create things";
}

TEST_F(StartupTest, CompactDisplayFromTheSettingsAndBackToFullByTheMenu) {
    Options options;
    options.formmin = true;
    program.prepare(options);
    const QByteArray before = program.settingsBytes();
    program.start();
    const std::optional<WindowId> main = program.waitForWindow(kStopped);
    ASSERT_TRUE(main.has_value());
    // 1355 twips, frame and title bar included; the frame is known only once it is shown.
    auto outerHeight = [&] {
        return desktop.placement(*main).value_or(Placement{}).outer.height();
    };
    EXPECT_TRUE(waitUntil([&] { return std::abs(outerHeight() - 90) <= 2; }, 5s))
        << "outer height " << outerHeight();
    const Placement compact = desktop.placement(*main).value_or(Placement{});

    // A person finds 表示, the third caption of the menu bar, and clicks it.
    const std::optional<QPoint> caption = menuCaption(*main, 2);
    ASSERT_TRUE(caption.has_value());
    click(*main, *caption);

    EXPECT_TRUE(waitUntil([&] { return std::abs(outerHeight() - 404) <= 2; }, 5s))
        << "outer height " << outerHeight();
    const Placement full = desktop.placement(*main).value_or(Placement{});
    EXPECT_EQ(full.outer.width(), compact.outer.width());
    EXPECT_EQ(full.outer.topLeft(), compact.outer.topLeft());
    QByteArray expected = before;
    expected.replace("formmin=True", "formmin=False");
    EXPECT_TRUE(waitUntil([&] { return program.settingsBytes() == expected; }, 5s))
        << program.settingsBytes().toStdString();
    EXPECT_EQ(desktop.title(*main), kStopped);
}

}  // namespace
}  // namespace e2e
