// The picture window on a real folder: stepping by buttons, keys and the slider, playing,
// following pictures added and deleted while it is open, and the range handed to the export.
#include <memory>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "support/FakePlatform.h"
#include "viewer/ScaledPicture.h"
#include "viewer/frmView.h"

namespace {

class ViewerTest : public testing::Test {
protected:
    // Picture `n` is taken at 10:00:00 + n seconds, in one grey level of its own, so the picture
    // shown tells which it is; every third is a BMP.
    QString name(int n) const {
        return QStringLiteral("kcPic2026-12-09-10-%1-%2.%3")
            .arg(n / 60, 2, 10, QLatin1Char('0'))
            .arg(n % 60, 2, 10, QLatin1Char('0'))
            .arg(n % 3 == 0 ? QStringLiteral("bmp") : QStringLiteral("png"));
    }
    void put(int n) {
        QImage image(40, 30, QImage::Format_RGB32);
        image.fill(qRgb(n, n, n));
        ASSERT_TRUE(image.save(dir.filePath(name(n))));
    }
    void open(int count) {
        for (int n = 0; n < count; ++n) {
            put(n);
        }
        view = std::make_unique<frmView>([this] { return dir.path() + QLatin1Char('/'); });
        view->show();
        QApplication::setActiveWindow(view.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(view.get()));
    }
    // The grey level of the picture on show: its number.
    int shown() const {
        const QImage& image = view->findChild<viewer::ScaledPicture*>("Picture1")->image();
        return image.isNull() ? -1 : qRed(image.pixel(0, 0));
    }
    template <class T>
    T* child(const char* name) const {
        return view->findChild<T*>(QLatin1String(name));
    }
    void click(const char* button) {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    testing_support::FakePlatform platform;
    QTemporaryDir dir;
    std::unique_ptr<frmView> view;
};

TEST_F(ViewerTest, StepsByButtonsKeysAndSlider) {
    open(12);
    EXPECT_EQ(view->windowTitle(), "ころんカメラ 写真");
    EXPECT_EQ(shown(), 11);  // it opens at the newest
    EXPECT_EQ(child<QLabel>("lblTime")->text(), "2026年12月9日 10:00:11");
    EXPECT_EQ(child<QLabel>("lblCount")->text(), "12 / 12 枚");
    const struct {
        const char* what;
        std::function<void()> act;
        int expected;
    } steps[] = {
        {"Home", [] { QTest::keyClick(QApplication::activeWindow(), Qt::Key_Home); }, 0},
        {"← at the first", [] { QTest::keyClick(QApplication::activeWindow(), Qt::Key_Left); }, 0},
        {"→", [] { QTest::keyClick(QApplication::activeWindow(), Qt::Key_Right); }, 1},
        {"次へ", [this] { click("cmdNext"); }, 2},
        {"slider", [this] { child<QSlider>("sldPicture")->setValue(7); }, 7},
        {"前へ", [this] { click("cmdPrevious"); }, 6},
        {"End", [] { QTest::keyClick(QApplication::activeWindow(), Qt::Key_End); }, 11},
        {"最初", [this] { click("cmdFirst"); }, 0},
        {"最後", [this] { click("cmdLast"); }, 11},
    };
    for (const auto& step : steps) {
        step.act();
        EXPECT_EQ(shown(), step.expected) << step.what;
        EXPECT_EQ(view->current(), step.expected) << step.what;
        EXPECT_EQ(child<QSlider>("sldPicture")->value(), step.expected) << step.what;
    }
    EXPECT_TRUE(platform.ui.messages.empty());
}

TEST_F(ViewerTest, PlaysToTheEndAndSpaceStopsIt) {
    open(30);
    child<QComboBox>("cboSpeed")->setCurrentIndex(3);  // 600×: 24 pictures per frame
    ASSERT_EQ(view->speed(), 600);
    // At the end, playing starts again from the first.
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_TRUE(view->playing());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->playing(); }, 5000));
    EXPECT_EQ(shown(), 29);

    child<QComboBox>("cboSpeed")->setCurrentIndex(0);  // 1×: a picture a second
    click("cmdFirst");
    click("cmdPlay");
    EXPECT_EQ(child<QPushButton>("cmdPlay")->text(), "一時停止");
    QTest::qWait(1300);
    QTest::keyClick(view.get(), Qt::Key_Space);
    EXPECT_FALSE(view->playing());
    EXPECT_GE(shown(), 1);
    EXPECT_LE(shown(), 5);  // 10× would be past 12
}

TEST_F(ViewerTest, FollowsAddedDeletedAndVanishedPictures) {
    open(10);
    click("cmdFirst");
    click("cmdNext");  // picture 1
    put(10);
    put(11);
    ASSERT_TRUE(QFile::remove(dir.filePath(name(0))));
    view->followFolder();
    // Shown and on the slider as before; the new ones at the end, the deleted one gone.
    EXPECT_EQ(shown(), 1);
    EXPECT_EQ(view->current(), 0);
    EXPECT_EQ(child<QSlider>("sldPicture")->maximum(), 10);
    EXPECT_EQ(view->pictures().back().file, dir.filePath(name(11)));

    // The one shown and the next two vanish: following shows the next one left.
    for (const int n : {1, 2, 3}) {
        ASSERT_TRUE(QFile::remove(dir.filePath(name(n))));
    }
    view->followFolder();
    EXPECT_EQ(shown(), 4);
    // Vanished between two looks: skipped in the direction of the step, without a word.
    ASSERT_TRUE(QFile::remove(dir.filePath(name(5))));
    ASSERT_TRUE(QFile::remove(dir.filePath(name(6))));
    click("cmdNext");
    EXPECT_EQ(shown(), 7);
    ASSERT_TRUE(QFile::remove(dir.filePath(name(4))));
    click("cmdPrevious");
    EXPECT_EQ(shown(), 7);
    EXPECT_EQ(view->current(), 0);
    EXPECT_TRUE(platform.ui.messages.empty());

    for (int n = 7; n <= 11; ++n) {
        ASSERT_TRUE(QFile::remove(dir.filePath(name(n))));
    }
    view->followFolder();
    EXPECT_EQ(view->current(), -1);
    EXPECT_FALSE(child<QPushButton>("cmdPlay")->isEnabled());
}

TEST_F(ViewerTest, ExportGetsTheChosenRange) {
    open(8);
    EXPECT_TRUE(child<QPushButton>("cmdExport")->isHidden());
    int from = -1, to = -1;
    size_t count = 0;
    view->setExportHandler([&](const std::vector<timelapse::TimedPicture>& pictures, int f, int t) {
        count = pictures.size();
        from = f;
        to = t;
    });
    EXPECT_FALSE(child<QPushButton>("cmdExport")->isHidden());
    click("cmdExport");
    EXPECT_EQ(count, 8u);
    EXPECT_EQ(from, 0);
    EXPECT_EQ(to, 7);

    // Chosen in either order.
    child<QSlider>("sldPicture")->setValue(5);
    click("cmdFrom");
    child<QSlider>("sldPicture")->setValue(2);
    click("cmdTo");
    click("cmdExport");
    EXPECT_EQ(from, 2);
    EXPECT_EQ(to, 5);
    // Ends that are deleted give way inwards: the first after the start, the last before the end.
    click("cmdFrom");
    child<QSlider>("sldPicture")->setValue(5);
    click("cmdTo");
    for (const int n : {0, 2, 5}) {
        ASSERT_TRUE(QFile::remove(dir.filePath(name(n))));
    }
    view->followFolder();
    click("cmdExport");
    EXPECT_EQ(view->pictures()[size_t(from)].file, dir.filePath(name(3)));
    EXPECT_EQ(view->pictures()[size_t(to)].file, dir.filePath(name(4)));
    EXPECT_EQ(child<QLabel>("lblRange")->text(),
              "書き出す範囲: 2026年12月9日 10:00:03 ～ 2026年12月9日 10:00:04 (2 枚)");
}

}  // namespace
