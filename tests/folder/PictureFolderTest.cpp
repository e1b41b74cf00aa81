// The picture folder's rules: usage, the clean-up before a shot, and the remaining shots.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "folder/PictureFolder.h"
#include "platform/Errors.h"
#include "platform/Files.h"
#include "platform/SystemError.h"

namespace {

using folder::cleanFolder;
using folder::CleanOutcome;

class PictureFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { platform::fileHooks() = {}; }

    // A picture of `size` bytes (sparse) last modified `age` seconds before a fixed time.
    void picture(const QString& name, int64_t size, int age = 0) {
        rawPicture(QFile::encodeName(name), size, age);
    }
    void rawPicture(const QByteArray& name, int64_t size, int age = 0) {
        const QByteArray file = QFile::encodeName(path) + name;
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << file.constData() << ": " << std::strerror(errno);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        const timespec times[2] = {{1'700'000'000 - age, 0}, {1'700'000'000 - age, 0}};
        ASSERT_EQ(::futimens(fd, times), 0);
        ::close(fd);
    }
    QStringList left() const {  // everything in the folder, by code points
        QStringList names =
            QDir(dir.path())
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                           QDir::Unsorted);
        names.sort();
        return names;
    }

    QTemporaryDir dir;
    const QString path = dir.path() + QLatin1Char('/');  // as the settings keep it
};

TEST_F(PictureFolder, CountsPicturesOnly) {
    picture("kcPic2024-01-01-00-00-00.bmp", 100, 1);
    picture("kcPic2024-01-01-00-00-01.png", 20, 1);
    picture("KCPIC1.BMP", 3, 1);
    for (const char* other : {"kcPic1.bmpx", "kcPic.jpg", "kcPi.bmp", "xkcPic1.bmp", ".kcPic0.bmp",
                              "kcPicX.bmp/kcPic0.bmp"}) {
        QDir(dir.path()).mkdir("kcPicX.bmp");  // a folder named like a picture
        picture(other, 1000, 9);               // all older than the pictures
    }
    ASSERT_EQ(::symlink("kcPic.jpg", QFile::encodeName(path + "kcPicLink.png").constData()), 0);
    EXPECT_EQ(folder::GetPathSize(path), 123);

    const auto result = cleanFolder(path, 0, 100, false);  // deletes every picture
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 3);
    EXPECT_EQ(left(), (QStringList{".kcPic0.bmp", "kcPi.bmp", "kcPic.jpg", "kcPic1.bmpx",
                                   "kcPicLink.png", "kcPicX.bmp", "xkcPic1.bmp"}));
    EXPECT_TRUE(QFile::exists(path + "kcPicX.bmp/kcPic0.bmp"));
}

TEST_F(PictureFolder, MissingFolderIsEmptyUnreadableOneAnError) {
    EXPECT_EQ(folder::GetPathSize(path + "no-such-folder/"), 0);
    const QString tooLong = path + QString(300, QLatin1Char('x')) + "/";
    EXPECT_THROW(folder::GetPathSize(tooLong), platform::Error);
    EXPECT_THROW(cleanFolder(tooLong, 0, 1, false), platform::Error);
}

TEST_F(PictureFolder, TotalsAbove2GiBWithoutWritingThem) {
    picture("kcPic1.bmp", int64_t{3} << 30, 2);  // sparse
    picture("kcPic2.png", int64_t{3} << 30, 1);
    EXPECT_EQ(folder::GetPathSize(path), int64_t{6} << 30);
    EXPECT_EQ(folder::limitBytes(2048), int64_t{2048} << 20);
    EXPECT_EQ(cleanFolder(path, folder::limitBytes(8192), 1 << 20, true).outcome,
              CleanOutcome::Store);

    const auto result = cleanFolder(path, folder::limitBytes(4096), 1 << 20, false);
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_EQ(*result.remaining, -2047);  // (4 GiB - 6 GiB) / 1 MiB + 1
    EXPECT_EQ(left(), QStringList{"kcPic2.png"});
}

TEST_F(PictureFolder, AtTheLimitStoresOneByteOverStopsOrDeletesTheOldest) {
    picture("kcPic1.bmp", 400, 1);
    picture("kcPic2.bmp", 600, 2);  // the oldest, though listed second
    for (bool stopiffull : {true, false}) {
        const auto result = cleanFolder(path, 1000, 100, stopiffull);
        EXPECT_EQ(result.outcome, CleanOutcome::Store);
        EXPECT_EQ(*result.remaining, 1);
    }
    picture("kcPic1.bmp", 401, 1);
    const auto full = cleanFolder(path, 1000, 100, true);
    EXPECT_EQ(full.outcome, CleanOutcome::FolderFull);
    EXPECT_EQ(*full.remaining, 0);
    EXPECT_EQ(left().size(), 2);

    const auto cleaned = cleanFolder(path, 1000, 100, false);
    EXPECT_EQ(cleaned.outcome, CleanOutcome::Store);
    EXPECT_EQ(cleaned.deletedCount, 1);
    EXPECT_EQ(left(), QStringList{"kcPic1.bmp"});
}

TEST_F(PictureFolder, OnlyPngPicturesLoseTheOldestPng) {
    picture("kcPicA.png", 500, 1);
    picture("kcPicB.png", 500, 3);
    picture("kcPicC.png", 500, 2);
    EXPECT_EQ(cleanFolder(path, 1000, 100, false).deletedCount, 1);
    EXPECT_EQ(left(), (QStringList{"kcPicA.png", "kcPicC.png"}));
}

TEST_F(PictureFolder, EqualTimesDeleteInListingOrderBmpBeforePng) {
    // Upper-case names come first by bytes, but not in a listing that ignores case; the folder
    // itself yields them in no particular order.
    QStringList bmps;
    for (int i = 0; i < 20; ++i) {
        const QString name = QStringLiteral("kcPic%1").arg(i, 2, 10, QLatin1Char('0'));
        bmps << (i % 3 == 0 ? name.toUpper() + ".BMP" : name + ".bmp");
        picture(bmps.back(), 100, 7);
        picture(name + ".png", 100, 7);
    }
    EXPECT_EQ(cleanFolder(path, 3500, 100, false).deletedCount, 5);
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(QFile::exists(path + bmps[i]), i >= 5) << i;
    }
    EXPECT_EQ(folder::GetPathSize(path), 3500);  // every PNG is still there
}

TEST_F(PictureFolder, LoweringTheLimitFarDeletesOldestUntilWithin) {
    for (int i = 0; i < 10; ++i) {
        picture(QStringLiteral("kcPic%1.bmp").arg(i), 100, 10 - i);  // kcPic0 the oldest
    }
    const auto result = cleanFolder(path, 250, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 8);
    EXPECT_EQ(*result.remaining, -7);  // from the first scan: floor(-7.5) + 1
    EXPECT_EQ(left(), (QStringList{"kcPic8.bmp", "kcPic9.bmp"}));
}

TEST_F(PictureFolder, LimitZeroDeletesEveryPictureNegativeThenFails) {
    const auto empty = cleanFolder(path, folder::limitBytes(-1), 300, false);
    EXPECT_EQ(empty.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(empty.failedName, path);  // no picture to name
    EXPECT_FALSE(empty.reason.isEmpty());

    for (int i = 0; i < 300; ++i) {  // many deletions in one call
        picture(QStringLiteral("kcPic%1.png").arg(i), 1, i);
    }
    picture("notes.txt", 50);
    const auto zero = cleanFolder(path, folder::limitBytes(0), 1, false);
    EXPECT_EQ(zero.outcome, CleanOutcome::Store);
    EXPECT_EQ(zero.deletedCount, 300);
    EXPECT_EQ(left(), QStringList{"notes.txt"});

    picture("kcPic1.bmp", 300, 2);
    picture("kcPic2.bmp", 300, 1);
    const auto negative = cleanFolder(path, -1, 300, false);
    EXPECT_EQ(negative.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(negative.failedName, path);
    EXPECT_EQ(negative.deletedCount, 2);
}

TEST_F(PictureFolder, FailedDeletionNamesThePictureInAnyPass) {
    picture("kcPic1.bmp", 600, 3);
    picture("kcPic2.bmp", 600, 2);
    picture("kcPic3.bmp", 600, 1);
    QString refused = "kcPic1.bmp";
    platform::fileHooks().removeError = [&](const QString& p) {
        return p == path + refused ? EPERM : 0;
    };
    auto result = cleanFolder(path, 700, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(result.failedName, path + "kcPic1.bmp");
    EXPECT_EQ(result.reason, platform::describeError(EPERM));
    EXPECT_EQ(result.deletedCount, 0);

    refused = "kcPic2.bmp";  // the second pass fails
    result = cleanFolder(path, 700, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(result.failedName, path + "kcPic2.bmp");
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_EQ(left(), (QStringList{"kcPic2.bmp", "kcPic3.bmp"}));
}

TEST_F(PictureFolder, APictureVanishingMidScanIsSkipped) {
    picture("kcPic1.bmp", 600, 3);  // the oldest, removed by someone else while it is listed
    picture("kcPic2.bmp", 600, 2);
    picture("kcPic3.png", 600, 1);
    platform::fileHooks().beforeMeasure = [](const QString& folder, const QString& name) {
        if (name == "kcPic1.bmp") {
            QFile::remove(folder + name);
        }
    };
    const auto result = cleanFolder(path, 1000, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_EQ(left(), QStringList{"kcPic3.png"});
}

// Names that are not UTF-8 (from an archive unpacked with another system's names) decode alike;
// they are deleted by their bytes, whether the folder is followed or read in full at every look.
TEST_F(PictureFolder, OldestNamesThatAreNotUtf8AreDeletedAndTheCleanUpGoesOn) {
    for (const bool follow : {true, false}) {
        SCOPED_TRACE(follow ? "followed" : "read in full");
        rawPicture("kcPic\xff.bmp", 300, 3);
        rawPicture("kcPic\xfe.bmp", 300, 2);
        picture("kcPic3.bmp", 300, 1);
        folder::PictureIndex index(path, follow);
        const auto result = cleanFolder(index, 300, 100, false);
        EXPECT_EQ(result.outcome, CleanOutcome::Store) << result.reason.toStdString();
        EXPECT_EQ(result.deletedCount, 2);
        EXPECT_EQ(left(), QStringList{"kcPic3.bmp"});
        ASSERT_TRUE(QFile::remove(path + "kcPic3.bmp"));
    }
}

TEST(RemainingShots, ShotSizesAndExamples) {
    EXPECT_EQ(folder::shotSize(true, 300054), 68000);
    EXPECT_EQ(folder::shotSize(false, 300054), 300054);
    const int64_t limit = folder::limitBytes(2);
    EXPECT_EQ(limit, 2'097'152);
    EXPECT_EQ(folder::gaugeMaximum(2, 300054), 7);
    EXPECT_EQ(folder::remainingShots(limit, 900162, 300054), 4);
    EXPECT_EQ(folder::gaugeMaximum(2, 68000), 31);
    EXPECT_EQ(folder::remainingShots(limit, 0, 68000), 31);
    EXPECT_EQ(folder::remainingShots(limit, limit, 300054), 1);
    EXPECT_EQ(folder::remainingShots(limit, limit + 1, 300054), 0);
    EXPECT_EQ(folder::remainingShots(limit, limit * 3, 300054), -13);
    EXPECT_EQ(folder::gaugeMaximum(2048, 68000), 31581);
    EXPECT_EQ(folder::gaugeMaximum(2'147'483'647, 1), 2'147'483'647.0 * 1048576 + 1);
    EXPECT_THROW(folder::remainingShots(100, 0, 0), platform::Error);
    EXPECT_THROW(folder::gaugeMaximum(2, 0), platform::Error);
}

TEST_F(PictureFolder, CleanUpReportsRemainingShotsWhenItNeedsThem) {
    for (int i = 0; i < 3; ++i) {
        picture(QStringLiteral("kcPic%1.bmp").arg(i), 300054, 3 - i);
    }
    EXPECT_EQ(*cleanFolder(path, folder::limitBytes(2), 300054, true).remaining, 4);
    // A shot size of 0 cannot give remaining shots; deleting oldest pictures does not need them.
    EXPECT_THROW(cleanFolder(path, folder::limitBytes(2), 0, true), platform::Error);
    const auto result = cleanFolder(path, folder::limitBytes(2), 0, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_FALSE(result.remaining.has_value());
}

}  // namespace
