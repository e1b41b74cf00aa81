// The batch compression window: its layout, the count at opening, a whole run, and the ways a run
// ends early (a failed conversion, an undeletable BMP, a close during the run).
#include <cerrno>
#include <cstring>
#include <string>
#include <fcntl.h>
#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTimer>

#include "BatchFixture.h"
#include "platform/SystemError.h"
#include "platform/Twips.h"
#include "widgets/PictureBox.h"
#include "pngsaver.h"

namespace {

const QString kReady = QStringLiteral("\"写真\"をpngに圧縮します");
const QString kRunning = QStringLiteral("\"写真\"をpngに圧縮中");
const QString kConversionFailed = QStringLiteral("png変換でエラーがでました\r\n処理を中止します");

}  // namespace

// --- the window as it opens ----------------------------------------------------------------

TEST_F(BatchTest, WindowHasItsControlsCaptionAndSize) {
    putBmps(1);
    open();
    EXPECT_EQ(form->windowTitle(), "png圧縮");
    EXPECT_FALSE(form->windowIcon().isNull());
    EXPECT_EQ(form->size(), QSize(312, 118));  // 4680 x 1770 twips

    auto* box = child<widgets::PictureBox>("Picture1");
    ASSERT_NE(box, nullptr);
    ASSERT_NE(label1(), nullptr);
    ASSERT_NE(label2(), nullptr);
    ASSERT_NE(start(), nullptr);
    ASSERT_NE(cancel(), nullptr);
    EXPECT_EQ(box->size(), QSize(273, 25));  // 4095 x 375 twips
    EXPECT_EQ(box->backColor(), form->palette().color(QPalette::Button));
    EXPECT_FALSE(box->accessibleName().isEmpty());
    EXPECT_EQ(start()->text(), "Start");
    EXPECT_EQ(cancel()->text(), "Cancel");

    // Top to bottom: Label1, the gauge, then Cancel on the left and Start on the right.
    EXPECT_LE(label1()->geometry().bottom(), box->geometry().top());
    EXPECT_GT(cancel()->geometry().top(), box->geometry().bottom());
    EXPECT_EQ(cancel()->geometry().top(), start()->geometry().top());
    EXPECT_LT(cancel()->geometry().right(), start()->geometry().left());
    EXPECT_LE(start()->geometry().bottom(), form->height());

    EXPECT_EQ(label2()->parentWidget(), box);
    EXPECT_TRUE(label2()->font().bold());
    EXPECT_EQ(label2()->font().pointSizeF(), 12.0);
    EXPECT_EQ(label2()->palette().color(QPalette::WindowText), QColor(0, 255, 255));
    EXPECT_FALSE(label2()->autoFillBackground());
}

TEST_F(BatchTest, OpeningShowsTheTextAndAFullGauge) {
    putBmps(3);
    open();
    EXPECT_EQ(label1()->text(), kReady);
    EXPECT_EQ(label1()->size(), label1()->sizeHint());  // sized to its text
    EXPECT_EQ(label2()->text(), "残り3枚");
    EXPECT_TRUE(start()->isEnabled());
    const QImage& drawn = child<widgets::PictureBox>("Picture1")->image();
    EXPECT_EQ(drawn.pixelColor(0, drawn.height() / 2), QColor(0, 0, 0)) << "squares from the left";
}

TEST_F(BatchTest, EmptyFolderGivesAnEmptyGaugeAndNoStart) {
    // Nothing here is a BMP picture of the program's.
    putBmp("other.bmp", 1);
    putBmp(".kcPic1.bmp", 2);  // hidden
    testing_support::writeFile(folder + "kcPic2.png", "png");
    QDir(folder).mkdir("kcPic3.bmp");
    open();
    EXPECT_EQ(label2()->text(), "残り0枚");
    EXPECT_FALSE(start()->isEnabled());
    auto* box = child<widgets::PictureBox>("Picture1");
    QImage background(box->image().size(), box->image().format());
    background.fill(box->backColor());
    EXPECT_EQ(box->image(), background) << "no square drawn";
}

TEST_F(BatchTest, MissingFolderCountsNothing) {
    folder = fake.appFolder() + "/nowhere/";
    open();
    EXPECT_EQ(label2()->text(), "残り0枚");
    EXPECT_FALSE(start()->isEnabled());
}

TEST_F(BatchTest, CountsBeyondA16BitNumber) {
    const int count = 32'770;
    const std::string base = QFile::encodeName(folder).toStdString() + "kcPic";
    for (int i = 0; i < count; ++i) {
        const int fd = ::creat((base + std::to_string(i) + ".bmp").c_str(), 0644);
        ASSERT_GE(fd, 0) << std::strerror(errno);
        ::close(fd);
    }
    open();
    EXPECT_EQ(label2()->text(), "残り32770枚");
    EXPECT_TRUE(start()->isEnabled());
}

// --- a whole run ----------------------------------------------------------------------------

TEST_F(BatchTest, RunConvertsEveryBmpCountsDownAndCloses) {
    putBmps(3);
    open();
    recordGauge();
    QString labelDuringRun;
    fake.png.beforeCall = [&] { labelDuringRun = label1()->text(); };
    start()->click();

    EXPECT_EQ(labelDuringRun, kRunning);
    EXPECT_EQ(gaugeSeen, std::vector<QString>({"残り2枚", "残り1枚", "残り0枚"}));
    EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic2.png", "kcPic3.png"}));
    for (const char* name : {"kcPic1", "kcPic2", "kcPic3"}) {
        expectPngOf(QString(name) + ".bmp", QString(name) + ".png");
    }
    ASSERT_EQ(fake.png.calls.size(), 3u);
    EXPECT_EQ(fake.png.calls[0].bmp, folder + "kcPic1.bmp");
    EXPECT_EQ(fake.png.calls[2].png, folder + "kcPic3.png");
    EXPECT_EQ(fake.png.calls[1].options, "c6");
    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_FALSE(form->isVisible()) << "the window closes itself";
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(BatchTest, CapitalisedNamesAreListedInOrderAndGivePngNames) {
    putBmp("kcPicB.bmp", 1);
    putBmp("KCPICA.BMP", 2);
    putBmp("kcPicC.bmp", 3);
    open();
    EXPECT_EQ(label2()->text(), "残り3枚");
    start()->click();
    ASSERT_EQ(fake.png.calls.size(), 3u);
    EXPECT_EQ(fake.png.calls[0].bmp, folder + "KCPICA.BMP");
    EXPECT_EQ(fake.png.calls[0].png, folder + "KCPICA.png");
    EXPECT_EQ(fake.png.calls[1].bmp, folder + "kcPicB.bmp");
    EXPECT_EQ(fake.png.calls[2].bmp, folder + "kcPicC.bmp");
    EXPECT_EQ(files(), QStringList({"KCPICA.png", "kcPicB.png", "kcPicC.png"}));
    expectPngOf("KCPICA.BMP", "KCPICA.png");
}

// --- a run that stops -----------------------------------------------------------------------

class FailedRunTest : public BatchTest {
protected:
    void SetUp() override {
        putBmps(3);
        open();
    }
    // After the first picture converted, the second failed: what the window and folder show.
    void expectStoppedAtTheSecond() {
        EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic2.bmp", "kcPic3.bmp"}));
        expectPngOf("kcPic1.bmp", "kcPic1.png");
        ASSERT_EQ(fake.ui.messages.size(), 1u);
        EXPECT_EQ(fake.ui.messages[0].text, kConversionFailed);
        EXPECT_EQ(fake.ui.messages[0].buttons, platform::Buttons::Ok);
        EXPECT_EQ(fake.ui.messages[0].icon, platform::Icon::None);
        EXPECT_EQ(fake.ui.messages[0].title, "KoronCam");
        EXPECT_EQ(label2()->text(), "残り2枚");
        EXPECT_EQ(label1()->text(), kRunning);
        EXPECT_TRUE(form->isVisible());
        EXPECT_TRUE(start()->isEnabled());
        EXPECT_FALSE(form->running());
    }
};

TEST_F(FailedRunTest, EncoderFailureOnTheSecondStopsAndStartResumes) {
    fake.png.beforeCall = [this] {
        if (fake.png.calls.size() == 2) {
            fake.png.failWith = PNGSAVER_ERR_WRITE_PNG;
        }
    };
    start()->click();
    expectStoppedAtTheSecond();

    fake.png.failWith = 0;
    fake.png.beforeCall = nullptr;
    fake.png.calls.clear();
    recordGauge();
    start()->click();
    ASSERT_EQ(fake.png.calls.size(), 2u);
    EXPECT_EQ(fake.png.calls[0].bmp, folder + "kcPic2.bmp") << "resumes from the first left";
    EXPECT_EQ(gaugeSeen, std::vector<QString>({"残り1枚", "残り0枚"}));
    EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic2.png", "kcPic3.png"}));
    expectPngOf("kcPic3.bmp", "kcPic3.png");
    EXPECT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(FailedRunTest, CorruptBmpStopsTheRunLikeAFailure) {
    testing_support::writeFile(folder + "kcPic2.bmp", QByteArray("BM") + QByteArray(60, '\x7f'));
    start()->click();
    expectStoppedAtTheSecond();
}

TEST_F(FailedRunTest, UndeletableBmpIsNamedAndStopsTheRunKeepingItsPng) {
    const QString second = folder + "kcPic2.bmp";
    platform::fileHooks().removeError = [second](const QString& path) {
        return path == second ? EPERM : 0;
    };
    start()->click();
    EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic2.bmp", "kcPic2.png", "kcPic3.bmp"}));
    expectPngOf("kcPic2.bmp", "kcPic2.png");
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, second + "を削除できませんでした。\r\n" +
                                            platform::describeError(EPERM) +
                                            "\r\n処理を中止します");
    EXPECT_EQ(fake.ui.messages[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(fake.png.calls.size(), 2u) << "the third is not reached";
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(start()->isEnabled());
}

TEST_F(BatchTest, BmpDeletedBeforeItsTurnIsSkippedQuietly) {
    putBmps(3);
    open();
    recordGauge();
    fake.png.beforeCall = [this] {
        if (fake.png.calls.size() == 1) {
            QFile::remove(folder + "kcPic2.bmp");  // as the shooting cycle's clean-up does
        }
    };
    start()->click();
    EXPECT_TRUE(fake.ui.messages.empty());
    ASSERT_EQ(fake.png.calls.size(), 2u);
    EXPECT_EQ(fake.png.calls[1].bmp, folder + "kcPic3.bmp");
    EXPECT_EQ(gaugeSeen, std::vector<QString>({"残り2枚", "残り1枚", "残り0枚"}));
    EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic3.png"}));
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

TEST_F(BatchTest, BmpDeletedWhileTheEncoderOpensItIsSkippedQuietly) {
    putBmps(2);
    open();
    fake.png.beforeCall = [this] {
        if (fake.png.calls.size() == 1) {
            QFile::remove(folder + "kcPic1.bmp");
        }
    };
    start()->click();
    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_EQ(files(), QStringList({"kcPic2.png"}));
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

// --- events during a run ------------------------------------------------------------------

TEST_F(BatchTest, StartDoesNothingWhileARunIsInProgress) {
    putBmps(3);
    open();
    bool enabledDuringRun = true;
    fake.ui.onDoEvents = [&] {
        gaugeSeen.push_back(label2()->text());
        if (fake.ui.doEventsCalls == 1) {
            enabledDuringRun = start()->isEnabled();
            start()->click();
            form->cmdStart_Click();  // even when called past the button
        }
    };
    start()->click();
    EXPECT_FALSE(enabledDuringRun);
    EXPECT_EQ(fake.ui.doEventsCalls, 3);
    EXPECT_EQ(gaugeSeen, std::vector<QString>({"残り2枚", "残り1枚", "残り0枚"}));
    EXPECT_EQ(fake.png.calls.size(), 3u);
    EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic2.png", "kcPic3.png"}));
    EXPECT_EQ(form->result(), QDialog::Accepted);
}

// Closing during the first yield: the picture in hand is done, the window closes when the run has
// ended and not before, and nothing else is converted.
class CloseDuringRunTest : public BatchTest {
protected:
    void closeDuringRun(const std::function<void()>& close) {
        putBmps(3);
        open();
        bool openAfterClose = false;
        fake.ui.onDoEvents = [&] {
            if (fake.ui.doEventsCalls == 1) {
                close();
                openAfterClose = form->isVisible();
            }
        };
        start()->click();
        EXPECT_TRUE(openAfterClose) << "closed under the running loop";
        EXPECT_EQ(fake.png.calls.size(), 1u);
        EXPECT_EQ(fake.ui.doEventsCalls, 1);
        EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic2.bmp", "kcPic3.bmp"}));
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(form->result(), QDialog::Rejected);
        EXPECT_FALSE(form->running());
        EXPECT_TRUE(fake.ui.messages.empty());
    }
};

TEST_F(CloseDuringRunTest, CancelEndsTheRunAfterThePictureInHand) {
    closeDuringRun([this] { cancel()->click(); });
}

TEST_F(CloseDuringRunTest, CloseBoxEndsTheRunAfterThePictureInHand) {
    closeDuringRun([this] { form->close(); });
}

TEST_F(CloseDuringRunTest, EscEndsTheRunAfterThePictureInHand) {
    closeDuringRun([this] { QTest::keyClick(form.get(), Qt::Key_Escape); });
}

TEST_F(BatchTest, CancelWithoutARunCloses) {
    putBmps(2);
    open();
    cancel()->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_TRUE(fake.png.calls.empty());
    EXPECT_EQ(files(), QStringList({"kcPic1.bmp", "kcPic2.bmp"}));
}

// The way the main window opens it: modally, with a real event loop.
TEST_F(BatchTest, ModalWindowCancelledDuringARunReturnsAfterThePictureInHand) {
    putBmps(3);
    form = std::make_unique<frmPng>(folder);
    QTimer poll;  // waits for the modal loop, then presses Start inside it
    poll.setInterval(10);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() == form.get()) {
            poll.stop();
            start()->click();
        }
    });
    QTimer giveUp;  // a test that went wrong ends rather than hangs
    giveUp.setSingleShot(true);
    QObject::connect(&giveUp, &QTimer::timeout, [&] { form->done(-1); });
    fake.ui.onDoEvents = [this] { cancel()->click(); };
    fake.ui.onShowModal = [](QDialog& dialog) { return dialog.exec(); };
    poll.start();
    giveUp.start(10'000);

    const int result = platform::ui().showModal(*form);
    EXPECT_EQ(result, QDialog::Rejected);
    EXPECT_EQ(fake.png.calls.size(), 1u);
    EXPECT_EQ(files(), QStringList({"kcPic1.png", "kcPic2.bmp", "kcPic3.bmp"}));
}
