// A full disk, for real: a tiny tmpfs holds the picture folder or the settings file. Mounting
// needs root; the tests skip with the reason where they may not mount.

#include "app/Form1Fixture.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <sys/mount.h>

using testing_support::readFile;
using testing_support::writeFile;

namespace {

// A 64 KiB tmpfs mounted on a fresh folder for the life of the object.
class TinyDisk {
public:
    TinyDisk() {
        ok_ = dir_.isValid() &&
              ::mount("tmpfs", dir_.path().toUtf8().constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TinyDisk() {
        if (ok_) {
            ::umount2(dir_.path().toUtf8().constData(), MNT_DETACH);
        }
    }
    bool mounted() const { return ok_; }
    QString path() const { return dir_.path(); }
    // Fills the disk up to its last bytes.
    void fill() {
        QFile filler(path() + "/filler");
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
    }

private:
    QTemporaryDir dir_;
    bool ok_ = false;
};

}  // namespace

TEST_F(Form1Test, FullDiskWhileStoringAPictureStopsAndLeavesNoPartialFile) {
    TinyDisk disk;
    if (!disk.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    const QString folder = disk.path() + "/pics/";
    QDir().mkpath(folder);
    writeFile(fake.iniPath(),
              "[init]\nmaxpathsize=2\nstopiffull=False\npath=" + folder.toUtf8() + "\n");
    start();
    form->cmdStart_Click();
    ASSERT_TRUE(timer()->isActive());
    form->Timer1_Timer();  // 348 KB do not fit on a 64 KB disk
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    const QString text = fake.ui.messages[0].text;
    // What failed, which file, why (the system's reason), and what the program did.
    EXPECT_EQ(text.split("\r\n"),
              QStringList({"画像ファイルを保存できませんでした。",
                           folder + "kcPic2000-01-15-09-05-07.bmp", platform::describeError(ENOSPC),
                           "撮影を停止します。"}));
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
    EXPECT_TRUE(QDir(folder).entryList(QDir::Files | QDir::Hidden).isEmpty())
        << "no picture and no temporary file left behind";
}

TEST_F(Form1Test, FullDiskWhileWritingTheSettingsKeepsTheOldFile) {
    TinyDisk disk;
    if (!disk.mounted()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    }
    // The program's own folder on the tiny disk: its settings file cannot grow there.
    platform::Services services = platform::services();
    services.appFolder = disk.path();
    platform::use(services);
    const QString ini = disk.path() + "/KoronCam.ini";
    const QByteArray before = "[init]\nmaxpathsize=2\npath=" + disk.path().toUtf8() + "/\n";
    writeFile(ini, before);
    disk.fill();

    start();  // also measures one picture in memory: test.bmp cannot be stored here
    EXPECT_EQ(globals().bmpsize, 348054);
    form->mnuDisp_Click();
    ASSERT_FALSE(fake.ui.messages.empty());
    const QString text = fake.ui.messages.back().text;
    EXPECT_TRUE(text.contains(ini)) << text.toStdString();
    EXPECT_EQ(readFile(ini), before);
    EXPECT_TRUE(globals().settings.formmin) << "the display still changes for this run";
    EXPECT_EQ(
        QDir(disk.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name | QDir::IgnoreCase),
        QStringList({"filler", "KoronCam.ini"}));
}
