// The picture folder's rules: usage, the clean-up before a shot, and the remaining shots.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "folder/PictureFolder.h"
#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

using folder::CleanOutcome;

class PictureFolder : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { platform::fileHooks() = {}; }

    // A picture of `size` bytes (sparse) last modified `age` seconds before a fixed time.
    void picture(const QString& name, int64_t size, int age = 0) {
        const QByteArray file = QFile::encodeName(path + name);
        const int fd = ::open(file.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << file.constData() << ": " << std::strerror(errno);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        ::close(fd);
        const timespec time{1'700'000'000 - age, 0};
        const timespec times[2] = {time, time};
        ASSERT_EQ(::utimensat(AT_FDCWD, file.constData(), times, 0), 0);
    }
    bool exists(const QString& name) const { return QFileInfo::exists(path + name); }
    QStringList left() const {
        return QDir(dir.path())
            .entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot,
                       QDir::Name | QDir::IgnoreCase);
    }

    QTemporaryDir dir;
    const QString path = dir.path() + QLatin1Char('/');  // as the settings keep it
};

// --- folder usage ------------------------------------------------------------------------------

TEST_F(PictureFolder, CountsBmpAndPngPicturesWhateverTheirCase) {
    picture("kcPic2024-01-01-00-00-00.bmp", 100);
    picture("kcPic2024-01-01-00-00-01.png", 20);
    picture("KCPIC1.BMP", 3);
    picture("kcpic2.Png", 4);
    EXPECT_EQ(folder::GetPathSize(path), 127);
}

TEST_F(PictureFolder, OtherFilesAreNeitherCountedNorDeleted) {
    picture("kcPic1.bmp", 10, 1);  // the only picture, and the newest
    picture("kcPic1.bmpx", 1000, 9);
    picture("kcPic.jpg", 1000, 9);
    picture("kcPi.bmp", 1000, 9);
    picture("xkcPic1.bmp", 1000, 9);
    picture(".kcPic0.bmp", 1000, 9);
    ASSERT_TRUE(QDir(dir.path()).mkpath("kcPicX.bmp"));
    picture("kcPicX.bmp/kcPic0.bmp", 1000, 9);
    ASSERT_EQ(::symlink("kcPic.jpg", QFile::encodeName(path + "kcPicLink.png").constData()), 0);
    const QStringList before = left();

    EXPECT_EQ(folder::GetPathSize(path), 10);
    const auto result = folder::cleanFolder(path, 0, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 1);
    QStringList expected = before;
    expected.removeOne("kcPic1.bmp");
    EXPECT_EQ(left(), expected);
    EXPECT_TRUE(exists("kcPicX.bmp/kcPic0.bmp"));
}

TEST_F(PictureFolder, MissingFolderHoldsNothing) {
    EXPECT_EQ(folder::GetPathSize(path + "no-such-folder/"), 0);
}

TEST_F(PictureFolder, UnreadableFolderIsAnError) {
    const QString tooLong = path + QString(300, QLatin1Char('x')) + "/";
    EXPECT_THROW(folder::GetPathSize(tooLong), platform::Error);
    EXPECT_THROW(folder::cleanFolder(tooLong, 0, 1, false), platform::Error);
}

TEST_F(PictureFolder, TotalsAbove2GiBWithoutWritingThem) {
    picture("kcPic1.bmp", int64_t{3} << 30, 2);  // sparse
    picture("kcPic2.png", int64_t{3} << 30, 1);
    EXPECT_EQ(folder::GetPathSize(path), int64_t{6} << 30);

    EXPECT_EQ(folder::limitBytes(2048), int64_t{2048} << 20);
    EXPECT_EQ(folder::limitBytes(8192), int64_t{8} << 30);
    EXPECT_EQ(folder::cleanFolder(path, folder::limitBytes(8192), 1 << 20, true).outcome,
              CleanOutcome::Store);

    const auto result = folder::cleanFolder(path, folder::limitBytes(4096), 1 << 20, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_FALSE(exists("kcPic1.bmp"));
    EXPECT_TRUE(exists("kcPic2.png"));
    EXPECT_DOUBLE_EQ(*result.remaining, -2047);  // (4 GiB - 6 GiB) / 1 MiB + 1
}

// --- the limit ---------------------------------------------------------------------------------

TEST_F(PictureFolder, ExactlyAtTheLimitStoresAndDeletesNothing) {
    picture("kcPic1.bmp", 400, 2);
    picture("kcPic2.bmp", 600, 1);
    for (bool stopiffull : {true, false}) {
        const auto result = folder::cleanFolder(path, 1000, 100, stopiffull);
        EXPECT_EQ(result.outcome, CleanOutcome::Store);
        EXPECT_EQ(result.deletedCount, 0);
        EXPECT_DOUBLE_EQ(*result.remaining, 1);
    }
    EXPECT_TRUE(exists("kcPic1.bmp"));
    EXPECT_TRUE(exists("kcPic2.bmp"));
}

TEST_F(PictureFolder, OneByteOverStopsWhenFullKeepingEverything) {
    picture("kcPic1.bmp", 400, 2);
    picture("kcPic2.bmp", 601, 1);
    const auto result = folder::cleanFolder(path, 1000, 100, true);
    EXPECT_EQ(result.outcome, CleanOutcome::FolderFull);
    EXPECT_DOUBLE_EQ(*result.remaining, 0);
    EXPECT_EQ(result.deletedCount, 0);
    EXPECT_TRUE(exists("kcPic1.bmp"));
    EXPECT_TRUE(exists("kcPic2.bmp"));
}

TEST_F(PictureFolder, OneByteOverDeletesTheOldest) {
    picture("kcPic1.bmp", 601, 1);
    picture("kcPic2.bmp", 400, 2);  // older, though listed second
    const auto result = folder::cleanFolder(path, 1000, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_TRUE(exists("kcPic1.bmp"));
    EXPECT_FALSE(exists("kcPic2.bmp"));
}

TEST_F(PictureFolder, OnlyPngPicturesLoseTheOldestPng) {
    picture("kcPicA.png", 500, 1);
    picture("kcPicB.png", 500, 3);
    picture("kcPicC.png", 500, 2);
    EXPECT_EQ(folder::cleanFolder(path, 1000, 100, false).outcome, CleanOutcome::Store);
    EXPECT_EQ(left(), (QStringList{"kcPicA.png", "kcPicC.png"}));
}

TEST_F(PictureFolder, EqualTimesDeleteTheFirstListedBmpBeforePng) {
    picture("kcPicA.png", 500, 5);  // sorts first by name, but the BMP pattern is scanned first
    picture("kcPicB.bmp", 500, 5);
    picture("kcPicC.bmp", 500, 5);
    EXPECT_EQ(folder::cleanFolder(path, 1000, 100, false).deletedCount, 1);
    EXPECT_EQ(left(), (QStringList{"kcPicA.png", "kcPicC.bmp"}));
    EXPECT_EQ(folder::cleanFolder(path, 500, 100, false).deletedCount, 1);
    EXPECT_EQ(left(), QStringList{"kcPicA.png"});
}

TEST_F(PictureFolder, EqualTimesFollowTheListingWhateverTheFolderOrder) {
    // Upper-case names sort first by bytes, not in a listing that ignores case.
    for (int i = 0; i < 20; ++i) {
        const QString name = QStringLiteral("kcPic%1").arg(i, 2, 10, QLatin1Char('0'));
        picture(i % 3 == 0 ? name.toUpper() + ".BMP" : name + ".bmp", 100, 7);
        picture(name + ".png", 100, 7);
    }
    const auto result = folder::cleanFolder(path, 3500, 100, false);
    EXPECT_EQ(result.deletedCount, 5);
    for (int i = 0; i < 20; ++i) {
        const QString name = QStringLiteral("kcPic%1").arg(i, 2, 10, QLatin1Char('0'));
        EXPECT_EQ(exists(i % 3 == 0 ? name.toUpper() + ".BMP" : name + ".bmp"), i >= 5) << i;
        EXPECT_TRUE(exists(name + ".png"));
    }
}

TEST_F(PictureFolder, LoweringTheLimitFarDeletesOldestUntilWithin) {
    for (int i = 0; i < 10; ++i) {
        picture(QStringLiteral("kcPic%1.bmp").arg(i), 100, 10 - i);  // kcPic0 the oldest
    }
    const auto result = folder::cleanFolder(path, 250, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 8);
    EXPECT_DOUBLE_EQ(*result.remaining, -7);  // from the first scan: floor(-7.5) + 1
    EXPECT_EQ(left(), (QStringList{"kcPic8.bmp", "kcPic9.bmp"}));
}

TEST_F(PictureFolder, ManyDeletionsInOneCallDoNotRecurse) {
    for (int i = 0; i < 400; ++i) {
        picture(QStringLiteral("kcPic%1.png").arg(i, 4, 10, QLatin1Char('0')), 1, 400 - i);
    }
    const auto result = folder::cleanFolder(path, 0, 1, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 400);
    EXPECT_TRUE(left().isEmpty());
}

TEST_F(PictureFolder, LimitZeroDeletesEveryPicture) {
    picture("kcPic1.bmp", 300, 3);
    picture("kcPic2.png", 200, 2);
    picture("kcPic3.bmp", 100, 1);
    picture("notes.txt", 50);
    const auto result = folder::cleanFolder(path, folder::limitBytes(0), 300, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 3);
    EXPECT_EQ(left(), QStringList{"notes.txt"});
}

TEST_F(PictureFolder, NegativeLimitOnAnEmptyFolderFailsNamingTheFolder) {
    const auto result = folder::cleanFolder(path, folder::limitBytes(-1), 300, false);
    EXPECT_EQ(result.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(result.failedName, path);
    EXPECT_FALSE(result.reason.isEmpty());
    EXPECT_EQ(result.deletedCount, 0);
}

TEST_F(PictureFolder, NegativeLimitDeletesEverythingThenFails) {
    picture("kcPic1.bmp", 300, 2);
    picture("kcPic2.bmp", 300, 1);
    const auto result = folder::cleanFolder(path, -1, 300, false);
    EXPECT_EQ(result.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(result.failedName, path);
    EXPECT_EQ(result.deletedCount, 2);
}

// --- faults ------------------------------------------------------------------------------------

TEST_F(PictureFolder, AFailedDeletionNamesThePictureAndKeepsIt) {
    picture("kcPic1.bmp", 600, 2);
    picture("kcPic2.bmp", 600, 1);
    platform::fileHooks().removeError = [](const QString&) { return EPERM; };
    const auto result = folder::cleanFolder(path, 1000, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(result.failedName, path + "kcPic1.bmp");
    EXPECT_EQ(result.reason, QString::fromLocal8Bit(std::strerror(EPERM)));
    EXPECT_EQ(result.deletedCount, 0);
    EXPECT_TRUE(exists("kcPic1.bmp"));
}

TEST_F(PictureFolder, AFailureInALaterPassFailsTheWholeCleanUp) {
    picture("kcPic1.bmp", 600, 3);
    picture("kcPic2.bmp", 600, 2);
    picture("kcPic3.bmp", 600, 1);
    platform::fileHooks().removeError = [](const QString& p) {
        return p.endsWith("kcPic2.bmp") ? EBUSY : 0;
    };
    const auto result = folder::cleanFolder(path, 700, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::DeleteFailed);
    EXPECT_EQ(result.failedName, path + "kcPic2.bmp");
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_FALSE(exists("kcPic1.bmp"));
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
    const auto result = folder::cleanFolder(path, 1000, 100, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_EQ(result.deletedCount, 1);
    EXPECT_EQ(left(), QStringList{"kcPic3.png"});
}

// --- remaining shots ---------------------------------------------------------------------------

TEST(RemainingShots, ShotSizeFollowsPngCompression) {
    EXPECT_EQ(folder::shotSize(true, 300054), 68000);
    EXPECT_EQ(folder::shotSize(false, 300054), 300054);
    EXPECT_EQ(folder::shotSize(true, 0), 68000);
}

TEST(RemainingShots, TheWorkedExample) {
    const int64_t limit = folder::limitBytes(2);
    EXPECT_EQ(limit, 2'097'152);
    EXPECT_DOUBLE_EQ(folder::gaugeMaximum(2, 300054), 7);
    EXPECT_DOUBLE_EQ(folder::remainingShots(limit, 900162, 300054), 4);
}

TEST(RemainingShots, PngPicturesInAnEmptyFolder) {
    EXPECT_DOUBLE_EQ(folder::gaugeMaximum(2, 68000), 31);
    EXPECT_DOUBLE_EQ(folder::remainingShots(folder::limitBytes(2), 0, 68000), 31);
}

TEST(RemainingShots, AtTheLimitOneOverAndFarOver) {
    const int64_t limit = folder::limitBytes(2);
    EXPECT_DOUBLE_EQ(folder::remainingShots(limit, limit, 300054), 1);
    EXPECT_DOUBLE_EQ(folder::remainingShots(limit, limit + 1, 300054), 0);
    EXPECT_DOUBLE_EQ(folder::remainingShots(limit, limit * 3, 300054), -13);
}

TEST(RemainingShots, LimitsOf2048MegabytesAndMore) {
    EXPECT_DOUBLE_EQ(folder::gaugeMaximum(2048, 68000), 31581);
    EXPECT_DOUBLE_EQ(folder::remainingShots(folder::limitBytes(4096), int64_t{3} << 30, 1 << 20),
                     1025);
    EXPECT_DOUBLE_EQ(folder::gaugeMaximum(2'147'483'647, 1), 2'147'483'647.0 * 1048576 + 1);
}

TEST(RemainingShots, ZeroShotSizeIsAnError) {
    EXPECT_THROW(folder::remainingShots(100, 0, 0), platform::Error);
    EXPECT_THROW(folder::gaugeMaximum(2, 0), platform::Error);
}

TEST_F(PictureFolder, TheCleanUpReportsRemainingShotsOfItsFirstScan) {
    for (int i = 0; i < 3; ++i) {
        picture(QStringLiteral("kcPic%1.bmp").arg(i), 300054, 3 - i);
    }
    const auto result = folder::cleanFolder(path, folder::limitBytes(2), 300054, true);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_DOUBLE_EQ(*result.remaining, 4);
}

TEST_F(PictureFolder, ZeroShotSizeMattersOnlyWhenStoppingWhenFull) {
    picture("kcPic1.bmp", 10);
    EXPECT_THROW(folder::cleanFolder(path, 100, 0, true), platform::Error);
    const auto result = folder::cleanFolder(path, 100, 0, false);
    EXPECT_EQ(result.outcome, CleanOutcome::Store);
    EXPECT_FALSE(result.remaining.has_value());
}

}  // namespace
