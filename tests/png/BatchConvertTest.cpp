// One step of the batch compression, without a window: the PNG name, and a BMP that the clean-up
// deletes between its conversion and its deletion.
#include <cerrno>
#include <QFile>

#include "BatchFixture.h"
#include "png/BatchConvert.h"

TEST(PngPath, LastFourCharactersGiveWayToPng) {
    EXPECT_EQ(batch::pngPathFor("/p/kcPic2000-01-15-09-05-07.bmp"),
              "/p/kcPic2000-01-15-09-05-07.png");
    EXPECT_EQ(batch::pngPathFor("/p/KCPIC2000-01-15-09-05-07.BMP"),
              "/p/KCPIC2000-01-15-09-05-07.png");
    EXPECT_EQ(batch::pngPathFor("/写真/kcPic1.Bmp"), "/写真/kcPic1.png");
}

// The window's tests cover the other outcomes through whole runs.
TEST_F(BatchTest, BmpGoneBeforeItsDeletionCountsAsDeleted) {
    // The clean-up got there first: the picture is converted and its BMP is gone, as wanted.
    putBmp("kcPic1.bmp", 1);
    platform::fileHooks().removeError = [](const QString& path) {
        QFile::remove(path);
        return ENOENT;
    };
    EXPECT_EQ(batch::convertOne(folder + "kcPic1.bmp").outcome, batch::Outcome::Converted);
    EXPECT_EQ(files(), QStringList({"kcPic1.png"}));
    expectPngOf("kcPic1.bmp", "kcPic1.png");
}
