// Start-up: the settings it reads, their defaults and conversions, the window it shows, and the
// compact display switch.

#include "app/Form1Fixture.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>

#include "platform/Twips.h"

using testing_support::readFile;

TEST_F(Form1Test, NoSettingsFileGivesTheDefaults) {
    start();
    const Settings& s = globals().settings;
    EXPECT_EQ(s.maxpathsize, 2);
    EXPECT_EQ(s.path, fake.appFolder() + "/bmp");
    EXPECT_TRUE(s.stopiffull);
    EXPECT_TRUE(s.kcactive);
    EXPECT_FALSE(s.runpng);
    EXPECT_FALSE(s.formmin);
    EXPECT_FALSE(fake.ui.ended());
}

TEST_F(Form1Test, WindowAfterStartUp) {
    writeSettings();
    start();
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
    EXPECT_EQ(button()->text(), "スタート");
    EXPECT_EQ(color(button(), QPalette::Button), QColor(255, 128, 128));
    EXPECT_EQ(color(form.get(), QPalette::Window), QColor(255, 192, 192));
    EXPECT_FALSE(timer()->isActive());
    EXPECT_EQ(timer()->interval(), 1000);
    EXPECT_EQ(timer()->timerType(), Qt::PreciseTimer);

    // Geometry as built, in logical pixels (15 twips each).
    auto* picture1 = form->findChild<QWidget*>("Picture1");
    auto* picture2 = form->findChild<QWidget*>("Picture2");
    EXPECT_EQ(picture2->geometry(), QRect(8, 8, 305, 25));
    EXPECT_EQ(button()->geometry(), QRect(320, 8, 81, 33));
    EXPECT_EQ(picture1->geometry(), QRect(8, 48, 390, 304));
    EXPECT_EQ(form->centralWidget()->width(), 407);
    EXPECT_EQ(form->centralWidget()->height(), 360);
    EXPECT_TRUE(picture2->isVisible());
    EXPECT_EQ(form->minimumSize(), form->maximumSize()) << "the window has a fixed size";

    QStringList captions;
    for (QAction* a : form->menuBar()->actions()) {
        captions << a->text();
    }
    EXPECT_EQ(captions,
              QStringList({"スタート(&S)", "設定(&O)", "表示", "png圧縮", "見る(&V)", "ヘルプ"}));
    EXPECT_EQ(action("mnuHelpShow")->text(), "目次");
    EXPECT_EQ(action("mnuVersion")->text(), "ﾊﾞｰｼﾞｮﾝ");

    auto* label = form->findChild<QLabel*>("Label1");
    EXPECT_EQ(label->parentWidget(), picture2);
    EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor(0, 255, 255));
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pointSizeF(), 12.0);
    EXPECT_TRUE(button()->font().bold());
}

TEST_F(Form1Test, StoredValuesAreRead) {
    writeSettings("kcactive=false\nstopiffull=0\nrunpng=TRUE\n");
    start();
    const Settings& s = globals().settings;
    EXPECT_FALSE(s.kcactive);
    EXPECT_FALSE(s.stopiffull);
    EXPECT_TRUE(s.runpng);
    EXPECT_EQ(s.path, pictureFolder());
    EXPECT_FALSE(form->findChild<QWidget*>("Picture2")->isVisible())
        << "no gauge when not stopping";
    EXPECT_FALSE(action("mnuPng")->isEnabled()) << "no batch while each picture is compressed";
}

TEST_F(Form1Test, PartialFileTakesDefaultsForTheRest) {
    testing_support::writeFile(fake.iniPath(), "[init]\r\nmaxpathsize= 7 \r\n");
    start();
    EXPECT_EQ(globals().settings.maxpathsize, 7);
    EXPECT_TRUE(globals().settings.kcactive);
    EXPECT_EQ(globals().settings.path, fake.appFolder() + "/bmp");
}

TEST_F(Form1Test, EachBadValueEndsTheProgramAndLeavesTheFile) {
    const std::vector<std::pair<QByteArray, QByteArray>> bad = {
        {"maxpathsize", "abc"}, {"maxpathsize", ""}, {"maxpathsize", "99999999999"},
        {"stopiffull", "yes"},  {"kcactive", ""},    {"runpng", "on"},
        {"formmin", "Truee"},
    };
    for (const auto& [key, value] : bad) {
        SCOPED_TRACE(key.toStdString() + "=" + value.toStdString());
        fake.ui.messages.clear();
        fake.ui.endedWith = -1;
        const QByteArray content = "[init]\r\n" + key + "=" + value + "\r\n";
        testing_support::writeFile(fake.iniPath(), content);
        start();
        ASSERT_TRUE(fake.ui.ended());
        ASSERT_EQ(fake.ui.messages.size(), 1u);
        const QString text = fake.ui.messages[0].text;
        EXPECT_TRUE(text.contains(fake.iniPath()));
        EXPECT_TRUE(text.contains(QString::fromUtf8(key)));
        EXPECT_TRUE(text.contains(QString::fromUtf8(value)));
        EXPECT_EQ(readFile(fake.iniPath()), content);
    }
}

TEST_F(Form1Test, CompactDisplaySwitchesAndIsWritten) {
    writeSettings("formmin=True\n");
    start();
    const auto outer = [this] { return form->frameGeometry().height(); };
    EXPECT_TRUE(globals().settings.formmin);
    EXPECT_EQ(outer(), 90) << "1355 twips";
    EXPECT_TRUE(readFile(fake.iniPath()).contains("formmin=True\n"));

    form->mnuDisp_Click();
    EXPECT_FALSE(globals().settings.formmin);
    EXPECT_EQ(outer(), 404) << "6060 twips";
    EXPECT_EQ(form->width(), 407) << "only the height changes";
    EXPECT_TRUE(readFile(fake.iniPath()).contains("formmin=False\n"));

    form->mnuDisp_Click();
    EXPECT_EQ(outer(), 90);
    EXPECT_TRUE(readFile(fake.iniPath()).contains("formmin=True\n"));
}

TEST_F(Form1Test, MeasuresOnePictureAndLeavesAnExistingTestPictureAlone) {
    writeSettings();
    start();
    // 386 x 300 pixels, 3 bytes each, rows of 1158 bytes padded to 1160, 54 bytes of header.
    const int32_t expected = 1160 * 300 + 54;
    EXPECT_EQ(globals().bmpsize, expected);
    EXPECT_FALSE(QFileInfo::exists(fake.appFolder() + "/test.bmp"));

    const QByteArray someonesFile = "not ours";
    testing_support::writeFile(fake.appFolder() + "/test.bmp", someonesFile);
    resetGlobals();
    start();
    EXPECT_EQ(globals().bmpsize, expected);
    EXPECT_EQ(readFile(fake.appFolder() + "/test.bmp"), someonesFile);
}

TEST_F(Form1Test, FirstStartOpensTheOptionsOverTheShownWindow) {
    QString typedFolder = fake.appFolder() + "/bmp";
    bool windowShown = false;
    QString captionMeanwhile;
    fake.ui.onShowModal = [&](QDialog& dialog) {
        windowShown = form->isVisible();
        captionMeanwhile = form->windowTitle();
        EXPECT_EQ(dialog.objectName(), "FrmOption");
        EXPECT_EQ(dialog.findChild<QLineEdit*>("Text1")->text(), typedFolder);
        dialog.findChild<QCheckBox*>("Check2")->setChecked(false);
        dialog.findChild<QPushButton*>("Command1")->click();  // the folder question: OK
        return dialog.result();
    };
    start();
    EXPECT_TRUE(windowShown);
    EXPECT_EQ(captionMeanwhile, "ころんカメラ");
    EXPECT_TRUE(QDir(typedFolder).exists());
    EXPECT_EQ(readFile(fake.iniPath()), "[init]\nmaxpathsize=2\npath=" + typedFolder.toUtf8() +
                                            "/\nkcactive=True\nstopiffull=False\nrunpng=False\n");
    EXPECT_EQ(globals().settings.path, typedFolder + "/");
    EXPECT_FALSE(form->findChild<QWidget*>("Picture2")->isVisible());
    EXPECT_EQ(form->windowTitle(), "ころんカメラ 停止中");
}

TEST_F(Form1Test, OptionsAfterStartUpRefreshTheGauge) {
    writeSettings();
    start();
    EXPECT_EQ(form->gauge().Max(), 7) << "2 MB of 348054-byte pictures";
    fake.ui.onShowModal = [&](QDialog& dialog) {
        dialog.findChild<QLineEdit*>("Text2")->setText("10");
        dialog.findChild<QCheckBox*>("Check3")->setChecked(true);
        dialog.findChild<QPushButton*>("Command1")->click();
        return dialog.result();
    };
    form->mnuOption_Click();
    EXPECT_EQ(form->gauge().Max(), 155) << "10 MB of 68000-byte pictures";
    EXPECT_EQ(form->gauge().Value(), 155);
    EXPECT_FALSE(action("mnuPng")->isEnabled());
}
