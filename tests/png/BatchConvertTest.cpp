// One step of the batch compression, without a window: the PNG name, and what becomes of the BMP
// and the PNG for each outcome.
#include <cerrno>
#include <cstring>
#include <QFile>

#include "BatchFixture.h"
#include "png/BatchConvert.h"
#include "pngsaver.h"

using batch::Outcome;

TEST(PngPath, LastFourCharactersGiveWayToPng) {
    EXPECT_EQ(batch::pngPathFor("/p/kcPic2000-01-15-09-05-07.bmp"),
              "/p/kcPic2000-01-15-09-05-07.png");
    EXPECT_EQ(batch::pngPathFor("/p/KCPIC2000-01-15-09-05-07.BMP"),
              "/p/KCPIC2000-01-15-09-05-07.png");
    EXPECT_EQ(batch::pngPathFor("/写真/kcPic1.Bmp"), "/写真/kcPic1.png");
}

class ConvertOneTest : public BatchTest {
protected:
    void SetUp() override { putBmp("kcPic1.bmp", 1); }
    QString bmp() const { return folder + "kcPic1.bmp"; }
    QString png() const { return folder + "kcPic1.png"; }
};

TEST_F(ConvertOneTest, WritesThePngAndDeletesTheBmp) {
    const batch::Step step = batch::convertOne(bmp());
    EXPECT_EQ(step.outcome, Outcome::Converted);
    ASSERT_EQ(fake.png.calls.size(), 1u);
    EXPECT_EQ(fake.png.calls[0].bmp, bmp());
    EXPECT_EQ(fake.png.calls[0].png, png());
    EXPECT_EQ(fake.png.calls[0].options, "c6");
    EXPECT_EQ(files(), QStringList({"kcPic1.png"}));
    expectPngOf("kcPic1.bmp", "kcPic1.png");
}

TEST_F(ConvertOneTest, EncoderFailureKeepsTheBmpAndGivesItsCode) {
    fake.png.failWith = PNGSAVER_ERR_WRITE_PNG;
    const batch::Step step = batch::convertOne(bmp());
    EXPECT_EQ(step.outcome, Outcome::ConversionFailed);
    EXPECT_EQ(step.code, PNGSAVER_ERR_WRITE_PNG);
    EXPECT_EQ(files(), QStringList({"kcPic1.bmp"}));
}

TEST_F(ConvertOneTest, UnreadableBmpThatStillExistsIsAFailure) {
    testing_support::writeFile(bmp(), "BM not a picture");
    EXPECT_EQ(batch::convertOne(bmp()).outcome, Outcome::ConversionFailed);
    EXPECT_EQ(files(), QStringList({"kcPic1.bmp"}));
}

TEST_F(ConvertOneTest, BmpGoneBeforeItsTurnIsSkippedWithoutCallingTheEncoder) {
    ASSERT_TRUE(QFile::remove(bmp()));
    EXPECT_EQ(batch::convertOne(bmp()).outcome, Outcome::Vanished);
    EXPECT_TRUE(fake.png.calls.empty());
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(ConvertOneTest, BmpGoneWhileTheEncoderOpensItIsSkipped) {
    fake.png.beforeCall = [this] { QFile::remove(bmp()); };
    const batch::Step step = batch::convertOne(bmp());
    EXPECT_EQ(step.outcome, Outcome::Vanished);
    EXPECT_EQ(step.code, PNGSAVER_ERR_READ_BMP);
    EXPECT_TRUE(files().isEmpty());
}

TEST_F(ConvertOneTest, UndeletableBmpKeepsThePngAndGivesTheReason) {
    platform::fileHooks().removeError = [](const QString&) { return EACCES; };
    const batch::Step step = batch::convertOne(bmp());
    EXPECT_EQ(step.outcome, Outcome::DeletionFailed);
    EXPECT_EQ(step.reason, QString::fromLocal8Bit(std::strerror(EACCES)));
    EXPECT_EQ(files(), QStringList({"kcPic1.bmp", "kcPic1.png"}));
    expectPngOf("kcPic1.bmp", "kcPic1.png");
}

TEST_F(ConvertOneTest, BmpGoneBeforeItsDeletionCountsAsDeleted) {
    // The clean-up got there first: the picture is converted and its BMP is gone, as wanted.
    platform::fileHooks().removeError = [](const QString& path) {
        QFile::remove(path);
        return ENOENT;
    };
    EXPECT_EQ(batch::convertOne(bmp()).outcome, Outcome::Converted);
    EXPECT_EQ(files(), QStringList({"kcPic1.png"}));
}
