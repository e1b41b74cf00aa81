// The main window keeps shooting while a batch run yields: its pictures are stored beside the
// run, which keeps to its own listing, and pictures its clean-up deletes are skipped.
#include <QFile>

#include "BatchFixture.h"
#include "app/Form1Fixture.h"

namespace {

// Screen-sized pictures, so that a few of them fill a folder limited to one megabyte; plain ones,
// so that their PNGs are small. Picture `seed` is `seed` minutes old by its time stamp, so the
// clean-up finds the oldest without relying on the file system's clock.
void putScreenBmp(const QString& path, int seed) {
    QImage picture(386, 300, QImage::Format_RGB888);
    picture.fill(QColor(seed * 40, 100, 200));
    testing_support::writeFile(path, app::encodeBmp(picture));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime(QDate(2000, 1, 1), QTime(0, seed)),
                                 QFileDevice::FileModificationTime));
}

}  // namespace

class ShootingDuringRunTest : public Form1Test {
protected:
    std::unique_ptr<frmPng> batchWindow;
    bool inTick = false;

    ~ShootingDuringRunTest() override { platform::fileHooks() = {}; }

    void startShooting(const QByteArray& settings) {
        writeSettings(settings);
        start();
        form->cmdStart_Click();
        ASSERT_TRUE(form->shooting());
    }

    // One tick of the main window's timer at `time`, during the yield of a run. The shooting cycle
    // yields too; those nested yields do nothing.
    void tickAt(const QTime& time) {
        if (inTick) {
            return;
        }
        inTick = true;
        fake.clock.time = QDateTime(QDate(2000, 1, 15), time);
        form->Timer1_Timer();
        inTick = false;
    }

    void runBatch() {
        batchWindow = std::make_unique<frmPng>(globals().settings.path);
        batchWindow->show();
        batchWindow->findChild<QPushButton*>("cmdStart")->click();
    }
};

TEST_F(ShootingDuringRunTest, PicturesStoredDuringARunWaitForTheNextRun) {
    QDir().mkpath(pictureFolder());
    for (int i = 1; i <= 3; ++i) {
        putScreenBmp(pictureFolder() + QStringLiteral("kcPic2000-01-01-00-00-0%1.bmp").arg(i), i);
    }
    startShooting("stopiffull=True\nkcactive=False\n");
    QStringList storedDuringRun;
    int yields = 0;
    fake.ui.onDoEvents = [&] {
        if (inTick) {
            return;
        }
        ++yields;
        tickAt(QTime(9, 0, yields));
        storedDuringRun = pictures();
    };
    runBatch();

    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_EQ(yields, 3) << "the run went on through every picture of its listing";
    EXPECT_TRUE(storedDuringRun.contains("kcPic2000-01-15-09-00-03.bmp"));
    EXPECT_EQ(pictures(),
              QStringList({"kcPic2000-01-01-00-00-01.png", "kcPic2000-01-01-00-00-02.png",
                           "kcPic2000-01-01-00-00-03.png", "kcPic2000-01-15-09-00-01.bmp",
                           "kcPic2000-01-15-09-00-02.bmp", "kcPic2000-01-15-09-00-03.bmp"}));
    EXPECT_EQ(fake.png.calls.size(), 3u);
    EXPECT_EQ(batchWindow->result(), QDialog::Accepted);
    EXPECT_TRUE(form->shooting());
}

TEST_F(ShootingDuringRunTest, PicturesTheCleanUpDeletesAreSkipped) {
    // Five screen pictures overfill one megabyte; the first tick, after the first conversion,
    // deletes the oldest BMP left (the second) to make room for its own picture.
    QDir().mkpath(pictureFolder());
    for (int i = 1; i <= 5; ++i) {
        putScreenBmp(pictureFolder() + QStringLiteral("kcPic2000-01-01-00-00-0%1.bmp").arg(i), i);
    }
    startShooting("stopiffull=False\nkcactive=False\n");
    globals().settings.maxpathsize = 1;
    bool ticked = false;
    fake.ui.onDoEvents = [&] {
        if (!ticked && !inTick) {
            ticked = true;
            tickAt(QTime(9, 0, 0));
        }
    };
    runBatch();

    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_EQ(pictures(),
              QStringList({"kcPic2000-01-01-00-00-01.png", "kcPic2000-01-01-00-00-03.png",
                           "kcPic2000-01-01-00-00-04.png", "kcPic2000-01-01-00-00-05.png",
                           "kcPic2000-01-15-09-00-00.bmp"}));
    EXPECT_EQ(batchWindow->findChild<QLabel*>("Label2")->text(), "残り0枚");
    EXPECT_EQ(batchWindow->result(), QDialog::Accepted);
}
