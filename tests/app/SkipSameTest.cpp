// A picture equal to the last one stored: what counts as equal, and that a skipped picture
// writes, deletes and counts nothing.

#include "app/Form1Fixture.h"

#include <functional>

#include "app/SameAsLast.h"

using testing_support::writeFile;

TEST(SameAsLast, OnlyTheStoredPixelsCount) {
    QImage shot(500, 400, QImage::Format_RGB32);
    shot.fill(QColor(10, 20, 30));
    const struct {
        const char* what;
        std::function<void(QImage&)> change;
        bool same;
    } cases[] = {
        {"unchanged", [](QImage&) {}, true},
        {"last stored pixel", [](QImage& i) { i.setPixel(385, 299, qRgb(10, 20, 31)); }, false},
        {"beyond the corner", [](QImage& i) { i.setPixel(386, 10, qRgb(0, 0, 0)); }, true},
        {"unused fourth byte",
         [](QImage& i) { reinterpret_cast<uint32_t*>(i.scanLine(5))[5] &= 0x00ffffffu; }, true},
        {"smaller screen", [](QImage& i) { i = i.copy(0, 0, 300, 300); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app::SameAsLast last;
        EXPECT_FALSE(last.repeats(shot)) << "the first picture of a run is always stored";
        QImage next = shot.copy();
        c.change(next);
        EXPECT_EQ(last.repeats(next), c.same);
        last.forget();
        EXPECT_FALSE(last.repeats(shot));
    }
}

TEST_F(Form1Test, APictureEqualToTheLastIsNotStoredCleanedOrCounted) {
    writeSettings("stopiffull=False\n[extra]\nskipsame=True\n");
    start();
    form->cmdStart_Click();
    form->Timer1_Timer();
    ASSERT_EQ(pictures().size(), 1);
    // Over the limit now: a picture stored next would make room by deleting the oldest.
    const QString oldest = pictureFolder() + "kcPic1999-01-01-00-00-00.bmp";
    writeFile(oldest, QByteArray(2 << 20, 'p'));
    QFile old(oldest);
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addDays(-1),
                                QFileDevice::FileModificationTime));
    old.close();
    const float gauge = form->gauge().Value();
    fake.clock.time = fake.clock.time.addSecs(1);
    form->Timer1_Timer();
    EXPECT_EQ(pictures().size(), 2) << "written or deleted for a picture not stored";
    EXPECT_TRUE(QFile::exists(oldest)) << "room made for a picture not stored";
    EXPECT_EQ(form->gauge().Value(), gauge);

    fake.screen.picture.setPixel(385, 299, qRgb(0, 0, 0));
    form->Timer1_Timer();
    EXPECT_EQ(pictures(),
              QStringList({"kcPic2000-01-15-09-05-07.bmp", "kcPic2000-01-15-09-05-08.bmp"}));
    EXPECT_EQ(form->gauge().Value(), gauge - 1);
}
