// The export window: what it offers for a range, a whole export through its button, and a cancel
// through キャンセル that leaves no file.
#include <gtest/gtest.h>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>

#include "Pictures.h"
#include "support/FakePlatform.h"
#include "support/ScopedEnv.h"
#include "viewer/ExportDialog.h"

using testing_support::kStart;

namespace {

class ExportDialogTest : public testing::Test {
protected:
    void SetUp() override {
        for (const int64_t second : {0, 1, 4, 5}) {
            pictures.push_back(testing_support::savePicture(pictureDir.path(), kStart + second,
                                                            Qt::red, Qt::blue));
        }
    }
    void open(int from, int to) { dialog = std::make_unique<ExportDialog>(pictures, from, to); }
    template <class Widget>
    Widget* child(const char* name) {
        return dialog->findChild<Widget*>(name);
    }
    QString summary() { return child<QLabel>("summaryLabel")->text(); }
    void exportAndWait() {
        QTest::mouseClick(child<QPushButton>("exportButton"), Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog->running(); }, 60000));
    }

    testing_support::FakePlatform platform;
    QTemporaryDir home, pictureDir;
    testing_support::ScopedEnv homeEnv{"HOME", home.path().toUtf8().constData()};
    testing_support::ScopedEnv configEnv{"XDG_CONFIG_HOME", nullptr};
    std::vector<timelapse::TimedPicture> pictures;
    std::unique_ptr<ExportDialog> dialog;
};

}  // namespace

TEST_F(ExportDialogTest, OffersTheRangeItsFramesAndAFileInTheVideosFolder) {
    open(1, 3);
    EXPECT_EQ(dialog->rangeFrom(), 1);
    EXPECT_EQ(dialog->rangeTo(), 3);
    EXPECT_EQ(child<QLineEdit>("fileEdit")->text(),
              home.path() + "/Videos/kcVideo2026-12-09-13-45-01_2026-12-09-13-45-05.mp4");
    EXPECT_TRUE(QDir(home.path() + "/Videos").exists());
    EXPECT_EQ(summary(), "写真 3 枚、3 コマ、再生時間 0分1秒");
    child<QRadioButton>("holdGaps")->setChecked(true);
    EXPECT_EQ(summary(), "写真 3 枚、5 コマ、再生時間 0分1秒");
    child<QComboBox>("formatBox")->setCurrentIndex(1);
    EXPECT_TRUE(child<QLineEdit>("fileEdit")->text().endsWith("13-45-05.webm"));

    // A name of the user's own stays when the range changes.
    child<QLineEdit>("fileEdit")->setText("/tmp/mine.webm");
    child<QComboBox>("formatBox")->setCurrentIndex(0);
    EXPECT_EQ(child<QLineEdit>("fileEdit")->text(), "/tmp/mine.webm");
}

TEST_F(ExportDialogTest, ExportsThroughItsButtonAndCancelLeavesNoFile) {
    open(0, 3);
    const QString video = pictureDir.filePath("video.mp4");
    child<QLineEdit>("fileEdit")->setText(video);
    exportAndWait();
    EXPECT_EQ(testing_support::readVideo(video).frames.size(), 4u);
    ASSERT_EQ(platform.ui.messages.size(), 1u);
    EXPECT_EQ(platform.ui.lastMessage(), "動画を書き出しました。\r\n" + video);

    // Held over a day, the export is still running when キャンセル is clicked.
    pictures[3].time = kStart + 86400;
    open(0, 3);
    child<QRadioButton>("holdGaps")->setChecked(true);
    child<QLineEdit>("fileEdit")->setText(pictureDir.filePath("day.mp4"));
    const QStringList before = QDir(pictureDir.path()).entryList(QDir::Files | QDir::Hidden);
    QTest::mouseClick(child<QPushButton>("exportButton"), Qt::LeftButton);
    EXPECT_TRUE(dialog->running());
    QTest::mouseClick(child<QPushButton>("cancelButton"), Qt::LeftButton);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !dialog->running(); }, 60000));
    EXPECT_EQ(summary(), "書き出しを取り消しました。");
    EXPECT_EQ(QDir(pictureDir.path()).entryList(QDir::Files | QDir::Hidden), before);
    EXPECT_EQ(platform.ui.messages.size(), 1u) << "a cancel is no error";
}
