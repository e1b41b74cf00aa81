// The start/stop switch and the shooting cycle, driven through the fakes: captures are canned
// pictures, yields run scripted events.

#include "app/Form1Fixture.h"

#include <QImage>

#include "app/BmpFile.h"
#include "pngsaver.h"

using testing_support::readFile;

namespace {

struct StateSeen {
    bool timer;
    QString title, menu, button;
    QColor buttonBack, windowBack;
    bool option, version;
};

}  // namespace

class ShootingTest : public Form1Test {
protected:
    void SetUp() override {
        writeSettings("kcactive=True\nstopiffull=True\n");
        start();
    }
    StateSeen state() const {
        return {timer()->isActive(),
                form->windowTitle(),
                action("mnustart")->text(),
                button()->text(),
                color(button(), QPalette::Button),
                color(form.get(), QPalette::Window),
                action("mnuOption")->isEnabled(),
                action("mnuVersion")->isEnabled()};
    }
    void tick() { form->Timer1_Timer(); }
};

TEST_F(ShootingTest, SwitchSetsTheWholeStateBothWays) {
    form->cmdStart_Click();
    StateSeen on = state();
    EXPECT_TRUE(on.timer);
    EXPECT_EQ(on.title, "ころんカメラ 撮影中");
    EXPECT_EQ(on.menu, "ストップ(&S)");
    EXPECT_EQ(on.button, "ストップ");
    EXPECT_EQ(on.buttonBack, QColor(128, 255, 128));
    EXPECT_EQ(on.windowBack, QColor(192, 255, 192));
    EXPECT_FALSE(on.option);
    EXPECT_FALSE(on.version);
    EXPECT_TRUE(pictures().isEmpty()) << "the first picture comes with the first tick";

    form->mnustart_Click();
    StateSeen off = state();
    EXPECT_FALSE(off.timer);
    EXPECT_EQ(off.title, "ころんカメラ 停止中");
    EXPECT_EQ(off.menu, "スタート(&S)");
    EXPECT_EQ(off.button, "スタート");
    EXPECT_EQ(off.buttonBack, QColor(255, 128, 128));
    EXPECT_EQ(off.windowBack, QColor(255, 192, 255));
    EXPECT_TRUE(off.option);
    EXPECT_TRUE(off.version);
    EXPECT_TRUE(fake.ui.messages.empty());
}

TEST_F(ShootingTest, OneTickStoresOnePictureOfTheBoxSize) {
    form->cmdStart_Click();
    const int yieldsBefore = fake.ui.doEventsCalls;
    tick();
    ASSERT_EQ(pictures(), QStringList({"kcPic2000-01-15-09-05-07.bmp"}));
    const QString file = pictureFolder() + pictures()[0];
    EXPECT_EQ(QFileInfo(file).size(), globals().bmpsize);
    QImage stored(file);
    ASSERT_EQ(stored.size(), QSize(386, 300));
    EXPECT_EQ(stored.pixelColor(0, 0), QColor(10, 20, 30));
    EXPECT_EQ(stored.pixelColor(385, 299), QColor(10, 20, 30));
    EXPECT_EQ(fake.screen.activated, std::vector<QString>({"PostPet"}));
    EXPECT_EQ(fake.ui.doEventsCalls - yieldsBefore, 2)
        << "one yield after the capture, one at the end";
}

TEST_F(ShootingTest, PictureSmallerThanTheBoxIsDrawnFromTheTopLeft) {
    fake.screen.picture = QImage(10, 10, QImage::Format_RGB32);
    fake.screen.picture.fill(Qt::red);
    form->cmdStart_Click();
    tick();
    QImage stored(pictureFolder() + pictures().value(0));
    ASSERT_EQ(stored.size(), QSize(386, 300));
    EXPECT_EQ(stored.pixelColor(9, 9), QColor(Qt::red));
    EXPECT_NE(stored.pixelColor(10, 10), QColor(Qt::red));
}

TEST_F(ShootingTest, NoActivationWhenSwitchedOff) {
    globals().settings.kcactive = false;
    form->cmdStart_Click();
    tick();
    EXPECT_TRUE(fake.screen.activated.empty());
    EXPECT_EQ(pictures().size(), 1);
}

TEST_F(ShootingTest, NamesUseTheLocalTimeWithLeadingZeros) {
    fake.clock.time = QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59));
    EXPECT_EQ(form->Makename(), pictureFolder() + "kcPic1999-12-31-23-59-59.bmp");
    fake.clock.time = QDateTime(QDate(2000, 1, 15), QTime(9, 5, 7));
    EXPECT_EQ(form->Makename(), pictureFolder() + "kcPic2000-01-15-09-05-07.bmp");
}

TEST_F(ShootingTest, TwoPicturesInOneSecondShareOneFile) {
    form->cmdStart_Click();
    tick();
    fake.screen.picture.fill(QColor(200, 100, 50));
    tick();
    ASSERT_EQ(pictures().size(), 1);
    EXPECT_EQ(QImage(pictureFolder() + pictures()[0]).pixelColor(0, 0), QColor(200, 100, 50));
}

TEST_F(ShootingTest, TickDuringAPictureChangesNothing) {
    form->cmdStart_Click();
    int nested = 0;
    fake.ui.onDoEvents = [&] {
        if (nested++ == 0) {
            tick();  // arrives while the first picture is in progress
        }
    };
    tick();
    EXPECT_EQ(fake.screen.captures, 1);
    EXPECT_EQ(pictures().size(), 1);
}

TEST_F(ShootingTest, ClickDuringThePictureStopsAndThePictureIsStillStored) {
    form->cmdStart_Click();
    const float before = globals().mypbar.Value();
    bool clicked = false;
    fake.ui.onDoEvents = [&] {
        if (!clicked) {
            clicked = true;
            form->cmdStart_Click();
        }
    };
    tick();
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
    EXPECT_EQ(pictures().size(), 1);
    EXPECT_EQ(globals().mypbar.Value(), before - 1) << "the picture in hand is counted";
}

TEST_F(ShootingTest, CompressionLeavesOnlyThePng) {
    globals().settings.runpng = true;
    form->cmdStart_Click();
    tick();
    EXPECT_EQ(pictures(), QStringList({"kcPic2000-01-15-09-05-07.png"}));
    ASSERT_EQ(fake.png.calls.size(), 1u);
    EXPECT_EQ(fake.png.calls[0].options, "c6");
    EXPECT_EQ(fake.png.calls[0].png, pictureFolder() + "kcPic2000-01-15-09-05-07.png");
    QImage png(pictureFolder() + pictures()[0]);
    EXPECT_EQ(png.size(), QSize(386, 300));
    EXPECT_EQ(png.pixelColor(100, 100), QColor(10, 20, 30));
}

TEST_F(ShootingTest, FailedConversionKeepsTheBmpAndShootingGoesOn) {
    for (int16_t code : {int16_t{PNGSAVER_ERR_WRITE_PNG}, int16_t{PNGSAVER_ERR_NO_LIBRARY}}) {
        SCOPED_TRACE(code);
        fake.ui.messages.clear();
        globals().settings.runpng = true;
        globals().settings.stopiffull = false;  // the clean-up leaves the gauge alone
        fake.png.failWith = code;
        if (!timer()->isActive()) {
            form->cmdStart_Click();
        }
        const float before = globals().mypbar.Value();
        tick();
        ASSERT_EQ(fake.ui.messages.size(), 1u);
        EXPECT_EQ(fake.ui.messages[0].text, "png変換でエラーがでました\r\n処理を中止します");
        EXPECT_EQ(fake.ui.messages[0].title, "KoronCam");
        EXPECT_EQ(pictures(), QStringList({"kcPic2000-01-15-09-05-07.bmp"}));
        EXPECT_TRUE(timer()->isActive());
        EXPECT_EQ(form->windowTitle(), "ころんカメラ 撮影中");
        EXPECT_EQ(globals().mypbar.Value(), before) << "the gauge is not lowered";
    }
    // The next tick tries again and succeeds.
    fake.png.failWith = 0;
    fake.clock.time = fake.clock.time.addSecs(1);
    tick();
    EXPECT_TRUE(pictures().contains("kcPic2000-01-15-09-05-08.png"));
}

TEST_F(ShootingTest, CaptureWithoutPictureStopsWithAMessage) {
    form->cmdStart_Click();
    fake.screen.captureWorks = false;
    tick();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_TRUE(fake.ui.messages[0].text.contains("撮影"));
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
    EXPECT_TRUE(pictures().isEmpty());
}

TEST_F(ShootingTest, UnwritableFolderStopsWithTheNameAndLeavesNoFile) {
    form->cmdStart_Click();
    QDir(pictureFolder()).removeRecursively();
    tick();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_TRUE(
        fake.ui.messages[0].text.contains(pictureFolder() + "kcPic2000-01-15-09-05-07.bmp"));
    EXPECT_FALSE(timer()->isActive());
    EXPECT_FALSE(QDir(pictureFolder()).exists());
}

TEST_F(ShootingTest, StartIsRefusedWhenTheFolderIsFull) {
    // 2 MB limit: one byte over is full; exactly at the limit still starts.
    testing_support::writeFile(pictureFolder() + "kcPic1.bmp", QByteArray(2 * 1048576 + 1, 'x'));
    form->cmdStart_Click();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, "フォルダが一杯でスタートできません");
    EXPECT_EQ(fake.ui.messages[0].icon, platform::Icon::None);
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(globals().mypbar.Value(), 0) << "the gauge was refreshed by the refused start";

    testing_support::writeFile(pictureFolder() + "kcPic1.bmp", QByteArray(2 * 1048576, 'x'));
    form->cmdStart_Click();
    EXPECT_TRUE(timer()->isActive());
    EXPECT_EQ(globals().mypbar.Value(), 1);
}

TEST_F(ShootingTest, FullFolderDoesNotRefuseInDeleteMode) {
    globals().settings.stopiffull = false;
    testing_support::writeFile(pictureFolder() + "kcPic1.bmp", QByteArray(3 * 1048576, 'x'));
    form->cmdStart_Click();
    EXPECT_TRUE(timer()->isActive());
    EXPECT_TRUE(fake.ui.messages.empty());
}

TEST_F(ShootingTest, WhenTheScreenCannotBeCapturedTheStartExplainsAndStaysStopped) {
    fake.screen.isAvailable = false;
    fake.screen.problem = "no screen here";
    form->cmdStart_Click();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, "no screen here");
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(color(form.get(), QPalette::Window), QColor(255, 192, 192)) << "nothing changed";
}

TEST_F(ShootingTest, BatchWindowOpensOverTheFolderAndTheGaugeFollows) {
    testing_support::writeFile(pictureFolder() + "kcPic1.bmp", app::encodeBmp(fake.screen.picture));
    form->SetPbar();
    const float before = globals().mypbar.Value();
    QString caption;
    fake.ui.onShowModal = [&](QDialog& dialog) {
        caption = dialog.windowTitle();
        dialog.findChild<QPushButton*>("cmdStart")->click();
        return dialog.result();
    };
    form->mnuPng_Click();
    EXPECT_EQ(caption, "png圧縮");
    EXPECT_EQ(pictures(), QStringList({"kcPic1.png"}));
    EXPECT_EQ(before, 5) << "a 600054-byte BMP of 500 x 400";
    EXPECT_EQ(globals().mypbar.Value(), 7) << "only a small PNG is left";
}

TEST_F(ShootingTest, WhereWindowsCannotBeBroughtUpTheStartSaysSoOncePerRun) {
    fake.screen.canActivate = false;
    form->cmdStart_Click();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_TRUE(fake.ui.lastMessage().contains("前面"));
    EXPECT_TRUE(timer()->isActive()) << "shooting goes on";
    tick();
    EXPECT_EQ(pictures().size(), 1);
    form->cmdStart_Click();
    form->cmdStart_Click();
    EXPECT_EQ(fake.ui.messages.size(), 1u) << "once per run";
    EXPECT_TRUE(timer()->isActive());
}

TEST_F(ShootingTest, WithoutBringingPostPetUpNothingIsSaidAboutIt) {
    globals().settings.kcactive = false;
    fake.screen.canActivate = false;
    form->cmdStart_Click();
    EXPECT_TRUE(fake.ui.messages.empty());
}
