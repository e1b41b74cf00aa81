// The main window keeps the picture folder within its limit while it shoots: it stops when full,
// or deletes the oldest pictures, and the gauge counts down with every picture.

#include "app/Form1Fixture.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#include "platform/Files.h"

using testing_support::writeFile;

namespace {

constexpr int64_t kMegabyte = 1048576;

// A picture file of `size` bytes whose last change lies `secondsAgo` in the past.
void makePicture(const QString& path, int64_t size, int secondsAgo) {
    writeFile(path, QByteArray(static_cast<qsizetype>(size), 'p'));
    const timespec when{std::time(nullptr) - secondsAgo, 0};
    const timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.toUtf8().constData(), times, 0), 0);
}

}  // namespace

class FolderLimitTest : public Form1Test {
protected:
    void SetUp() override {
        writeSettings();
        start();
    }
    void TearDown() override { platform::fileHooks() = {}; }
    void tick() { form->Timer1_Timer(); }
    int64_t folderTotal() const {
        int64_t total = 0;
        for (const QFileInfo& f : QDir(pictureFolder()).entryInfoList(QDir::Files)) {
            total += f.size();
        }
        return total;
    }
};

TEST_F(FolderLimitTest, StopModeStopsWhenThePicturesFillTheFolder) {
    // Room for exactly one more picture: stored, then the next tick finds the folder full.
    makePicture(pictureFolder() + "kcPicold.bmp", 2 * kMegabyte - 100, 60);
    form->cmdStart_Click();
    ASSERT_TRUE(timer()->isActive());
    tick();
    EXPECT_EQ(pictures().size(), 2);
    EXPECT_TRUE(fake.ui.messages.empty());

    fake.clock.time = fake.clock.time.addSecs(1);
    tick();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, "画像ファイルが一杯になりましたので\r\n停止します");
    EXPECT_EQ(fake.ui.messages[0].title, "KoronCam");
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
    EXPECT_EQ(pictures().size(), 2) << "nothing stored at the full tick";
    EXPECT_EQ(form->gauge().Value(), 0);
    EXPECT_EQ(form->findChild<QLabel*>("Label1")->text(), "残り0枚");
}

TEST_F(FolderLimitTest, GaugeCountsDownWithEveryPicture) {
    form->cmdStart_Click();
    EXPECT_EQ(form->gauge().Value(), 7) << "2 MB of 348054-byte pictures";
    for (int i = 1; i <= 3; ++i) {
        fake.clock.time = fake.clock.time.addSecs(1);
        tick();
        EXPECT_EQ(form->gauge().Value(), 7 - i);
        EXPECT_EQ(form->findChild<QLabel*>("Label1")->text(), QString("残り%1枚").arg(7 - i));
    }
}

TEST_F(FolderLimitTest, DeleteModeRemovesTheOldestAndKeepsWithinTheLimitPlusOne) {
    globals().settings.stopiffull = false;
    makePicture(pictureFolder() + "kcPicA.png", kMegabyte, 300);  // oldest
    makePicture(pictureFolder() + "kcPicB.bmp", kMegabyte, 200);
    makePicture(pictureFolder() + "kcPicC.bmp", kMegabyte / 2, 100);
    makePicture(pictureFolder() + "notes.bmp", 5 * kMegabyte, 400);  // not a picture
    form->cmdStart_Click();
    ASSERT_TRUE(timer()->isActive());

    tick();  // 2.5 MB over 2 MB: the oldest goes, then the picture is stored
    EXPECT_EQ(pictures(),
              QStringList({"kcPic2000-01-15-09-05-07.bmp", "kcPicB.bmp", "kcPicC.bmp"}));
    EXPECT_TRUE(QFileInfo::exists(pictureFolder() + "notes.bmp"));
    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_TRUE(timer()->isActive());

    for (int i = 1; i <= 6; ++i) {
        fake.clock.time = fake.clock.time.addSecs(1);
        tick();
        EXPECT_LE(folderTotal() - 5 * kMegabyte, 2 * kMegabyte + globals().bmpsize);
    }
    EXPECT_FALSE(pictures().contains("kcPicB.bmp"));
}

TEST_F(FolderLimitTest, LoweredLimitDeletesUntilWithinBeforeStoring) {
    globals().settings.stopiffull = false;
    for (int i = 0; i < 8; ++i) {
        makePicture(pictureFolder() + QString("kcPic%1.bmp").arg(i), kMegabyte / 2, 100 - i);
    }
    globals().settings.maxpathsize = 1;  // 4 MB stored: six must go
    form->cmdStart_Click();
    tick();
    EXPECT_EQ(pictures(),
              QStringList({"kcPic2000-01-15-09-05-07.bmp", "kcPic6.bmp", "kcPic7.bmp"}));
}

TEST_F(FolderLimitTest, FailedDeletionStopsShootingAndStoresNothing) {
    globals().settings.stopiffull = false;
    makePicture(pictureFolder() + "kcPicold.bmp", 3 * kMegabyte, 100);
    platform::fileHooks().removeError = [](const QString&) { return EPERM; };
    form->cmdStart_Click();
    tick();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text,
              pictureFolder() + "kcPicold.bmpの削除に失敗しました\r\n終了します");
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中") << "the window shows it has stopped";
    EXPECT_EQ(button()->text(), "スタート");
    EXPECT_EQ(pictures(), QStringList({"kcPicold.bmp"}));
}

TEST_F(FolderLimitTest, NegativeLimitOnAnEmptyFolderNamesTheFolder) {
    globals().settings.stopiffull = false;
    globals().settings.maxpathsize = -1;
    form->cmdStart_Click();
    tick();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, pictureFolder() + "の削除に失敗しました\r\n終了します");
    EXPECT_FALSE(timer()->isActive());
    EXPECT_TRUE(pictures().isEmpty());
}

TEST_F(FolderLimitTest, LimitsBeyondTwoGigabytesWork) {
    globals().settings.maxpathsize = 4096;
    // A sparse 3 GiB picture: over 2 GiB of stored pictures, within a 4 GiB limit.
    const QString big = pictureFolder() + "kcPicbig.bmp";
    const int fd = ::open(big.toUtf8().constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 3 * 1024 * kMegabyte), 0);
    ::close(fd);
    form->cmdStart_Click();
    EXPECT_TRUE(timer()->isActive());
    tick();
    EXPECT_EQ(pictures().size(), 2);
    // Set by the clean-up before the picture, then one less for the picture stored.
    const double expected =
        std::floor((4096.0 * kMegabyte - 3 * 1024.0 * kMegabyte) / globals().bmpsize) + 1 - 1;
    EXPECT_EQ(form->gauge().Value(), static_cast<float>(expected));
    EXPECT_TRUE(fake.ui.messages.empty());
}
