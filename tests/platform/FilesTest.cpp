// The folder listing and file helpers, on real temporary folders.
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Errors.h"
#include "platform/Files.h"

namespace {

// A file of `size` bytes (sparse) last modified at `seconds` + `nanoseconds` since the epoch.
void makeFile(const QString& path, int64_t size, int64_t seconds = 1'000'000'000,
              long nanoseconds = 0) {
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name.constData() << ": " << std::strerror(errno);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
    const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
    ASSERT_EQ(::utimensat(AT_FDCWD, name.constData(), times, 0), 0);
}

QStringList names(const std::vector<platform::FileInfo>& files) {
    QStringList list;
    for (const auto& f : files) {
        list << f.name;
    }
    return list;
}

// Leaves the fault hooks empty after each test, even a failing one.
class Files : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { platform::fileHooks() = {}; }
    QString at(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    QTemporaryDir dir;
};

// --- wildcards ---------------------------------------------------------------------------------

TEST(Wildcard, MatchesStarsAndQuestionMarksIgnoringCase) {
    using platform::wildcardMatch;
    EXPECT_TRUE(wildcardMatch("kcPic2024-01-02.bmp", "kcPic*.bmp"));
    EXPECT_TRUE(wildcardMatch("KCPIC1.BMP", "kcPic*.bmp"));
    EXPECT_TRUE(wildcardMatch("kcPic.bmp", "kcPic*.bmp"));  // '*' may be empty
    EXPECT_TRUE(wildcardMatch("kcPic.bmp.bmp", "kcPic*.bmp"));
    EXPECT_FALSE(wildcardMatch("kcPic1.bmpx", "kcPic*.bmp"));
    EXPECT_FALSE(wildcardMatch("kcPic.jpg", "kcPic*.bmp"));
    EXPECT_FALSE(wildcardMatch("xkcPic1.bmp", "kcPic*.bmp"));
    EXPECT_FALSE(wildcardMatch("kcPi.bmp", "kcPic*.bmp"));
    EXPECT_TRUE(wildcardMatch("a1b", "a?b"));
    EXPECT_FALSE(wildcardMatch("ab", "a?b"));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("kcPic写.bmp"), "kcPic?.bmp"));  // one character
    EXPECT_TRUE(wildcardMatch(QStringLiteral("kcPic𝄞.bmp"), "kcPic?.bmp"));   // outside the BMP
    EXPECT_TRUE(wildcardMatch(QStringLiteral("ÄBC"), QStringLiteral("äb*")));
    EXPECT_TRUE(wildcardMatch("xaybz", "*a*b?"));
    EXPECT_FALSE(wildcardMatch("xaybzz", "*a*b?"));
    EXPECT_TRUE(wildcardMatch("", "*"));
    EXPECT_FALSE(wildcardMatch("a", ""));
}

// --- listing -----------------------------------------------------------------------------------

TEST_F(Files, ListsMatchingFilesSortedWithoutRegardToCase) {
    makeFile(at("kcPicb.bmp"), 10, 1'000'000'123, 456);
    makeFile(at("KCPICA.BMP"), 2'000, 1'000'000'000);
    makeFile(at("kcPicC.bmp"), 0, 1'000'000'000);
    makeFile(at("kcPicD.png"), 5, 1'000'000'000);
    const auto files = platform::listFiles(dir.path(), "kcPic*.bmp");
    EXPECT_EQ(names(files), (QStringList{"KCPICA.BMP", "kcPicb.bmp", "kcPicC.bmp"}));
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].size, 2'000);
    EXPECT_EQ(files[1].size, 10);
    EXPECT_EQ(files[1].modifiedNs, 1'000'000'123'000'000'456);
    // A trailing "/" on the folder changes nothing.
    EXPECT_EQ(names(platform::listFiles(dir.path() + "/", "kcPic*.bmp")), names(files));
}

TEST_F(Files, LeavesOutHiddenFilesFoldersAndLinks) {
    makeFile(at("kcPic1.bmp"), 1);
    makeFile(at(".kcPic2.bmp"), 1);
    ASSERT_TRUE(QDir(dir.path()).mkdir("kcPicDir.bmp"));
    makeFile(at("kcPicDir.bmp/kcPic3.bmp"), 1);  // a subfolder's pictures are not listed
    ASSERT_EQ(::symlink("kcPic1.bmp", QFile::encodeName(at("kcPicLink.bmp")).constData()), 0);
    ASSERT_EQ(::symlink("kcPicDir.bmp", QFile::encodeName(at("kcPicDirLink.bmp")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("kcPicFifo.bmp")).constData(), 0644), 0);
    EXPECT_EQ(names(platform::listFiles(dir.path(), "kcPic*.bmp")), QStringList{"kcPic1.bmp"});
    EXPECT_EQ(names(platform::listFiles(dir.path(), "*")), QStringList{"kcPic1.bmp"});
}

TEST_F(Files, ListsNamesBeyondAscii) {
    makeFile(at(QStringLiteral("写真b.bmp")), 1);
    makeFile(at(QStringLiteral("写真A.BMP")), 1);
    makeFile(at(QStringLiteral("写真.png")), 1);
    makeFile(at(QStringLiteral("kcPicÄ.bmp")), 1);
    EXPECT_EQ(names(platform::listFiles(dir.path(), QStringLiteral("写真*.bmp"))),
              (QStringList{QStringLiteral("写真A.BMP"), QStringLiteral("写真b.bmp")}));
    EXPECT_EQ(names(platform::listFiles(dir.path(), QStringLiteral("KCPICä.bmp"))),
              QStringList{QStringLiteral("kcPicÄ.bmp")});
}

TEST_F(Files, MissingFolderOrAFileGivesAnEmptyList) {
    EXPECT_TRUE(platform::listFiles(at("nothing-here"), "*").empty());
    makeFile(at("plain"), 1);
    EXPECT_TRUE(platform::listFiles(at("plain"), "*").empty());
}

TEST_F(Files, UnreadableFolderThrowsNamingIt) {
    // Root reads any folder, so use failures root meets too: a link loop, a name too long.
    const QString loop = at("loop");
    ASSERT_EQ(::symlink("loop", QFile::encodeName(loop).constData()), 0);
    try {
        platform::listFiles(loop, "*");
        FAIL() << "a link loop must not list";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().contains(loop)) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("読み取れません"))) << e.what();
    }
    EXPECT_THROW(platform::listFiles(at(QString(300, QLatin1Char('x'))), "*"), platform::Error);
}

TEST_F(Files, AFileVanishingBeforeItIsMeasuredIsLeftOut) {
    makeFile(at("kcPic1.bmp"), 1);
    makeFile(at("kcPic2.bmp"), 2);
    makeFile(at("kcPic3.bmp"), 3);
    QStringList seen;
    platform::fileHooks().beforeMeasure = [&](const QString& folder, const QString& name) {
        seen << name;
        if (name == "kcPic2.bmp") {
            ASSERT_TRUE(QFile::remove(folder + "/" + name));
        }
    };
    const auto files = platform::listFiles(dir.path(), "kcPic*.bmp");
    EXPECT_EQ(seen.size(), 3);
    EXPECT_EQ(names(files), (QStringList{"kcPic1.bmp", "kcPic3.bmp"}));
}

TEST_F(Files, OneReadingServesSeveralPatterns) {
    makeFile(at("kcPic1.bmp"), 1);
    makeFile(at("kcPic2.png"), 2);
    makeFile(at("other.bmp"), 3);
    makeFile(at(".kcPic3.bmp"), 4);
    int measured = 0;
    platform::fileHooks().beforeMeasure = [&](const QString&, const QString&) { ++measured; };
    std::vector<QStringList> seen(3);
    platform::forEachFile(dir.path(), {"kcPic*", "*.BMP", "none"},
                          [&](size_t pattern, const platform::FileInfo& file) {
                              ASSERT_LT(pattern, seen.size());
                              seen[pattern]
                                  << QStringLiteral("%1:%2").arg(file.name).arg(file.size);
                          });
    for (QStringList& list : seen) {
        list.sort();
    }
    EXPECT_EQ(seen[0], (QStringList{"kcPic1.bmp:1", "kcPic2.png:2"}));
    EXPECT_EQ(seen[1], (QStringList{"kcPic1.bmp:1", "other.bmp:3"}));
    EXPECT_TRUE(seen[2].isEmpty());
    EXPECT_EQ(measured, 3);  // each file once

    bool visited = false;
    platform::forEachFile(at("missing"), {"*"}, [&](size_t, const auto&) { visited = true; });
    EXPECT_FALSE(visited);
}

TEST(ListingOrder, IgnoresCaseThenFollowsCodePoints) {
    using platform::listedBefore;
    EXPECT_TRUE(listedBefore("KCPICA.BMP", "kcPicb.bmp"));
    EXPECT_FALSE(listedBefore("kcPicb.bmp", "KCPICA.BMP"));
    EXPECT_TRUE(listedBefore("kcPic_1", "kcPica"));  // '_' before letters, as lower case
    EXPECT_NE(listedBefore("ABC", "abc"), listedBefore("abc", "ABC"));
    EXPECT_FALSE(listedBefore("abc", "abc"));
    EXPECT_TRUE(listedBefore(QStringLiteral("äb"), QStringLiteral("ÄC")));
}

TEST_F(Files, SizesAbove4GiBAreWhole) {
    makeFile(at("big"), int64_t{5} << 30);  // sparse
    const auto files = platform::listFiles(dir.path(), "big");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].size, int64_t{5} << 30);
}

// --- single files ------------------------------------------------------------------------------

TEST_F(Files, PlainFileIsARegularVisibleFile) {
    makeFile(at("a.txt"), 1);
    makeFile(at(".hidden"), 1);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    ASSERT_EQ(::symlink("a.txt", QFile::encodeName(at("link.so")).constData()), 0);
    ASSERT_EQ(::symlink("gone", QFile::encodeName(at("dangling")).constData()), 0);
    EXPECT_TRUE(platform::isPlainFile(at("a.txt")));
    EXPECT_TRUE(platform::isPlainFile(at("link.so")));  // followed: libraries are often links
    EXPECT_FALSE(platform::isPlainFile(at(".hidden")));
    EXPECT_FALSE(platform::isPlainFile(at("sub")));
    EXPECT_FALSE(platform::isPlainFile(at("sub/")));
    EXPECT_FALSE(platform::isPlainFile(at("dangling")));
    EXPECT_FALSE(platform::isPlainFile(at("missing")));
}

TEST(SystemDirectory, IsTheSharedLibraryFolder) {
    const QString folder = platform::systemDirectory();
    EXPECT_TRUE(QDir(folder).exists()) << folder.toStdString();
    EXPECT_FALSE(folder.endsWith('/'));
    EXPECT_TRUE(QFile::exists(folder + "/libc.so.6")) << folder.toStdString();
#if defined(__x86_64__) && !defined(__ILP32__)
    EXPECT_EQ(folder, "/usr/lib/x86_64-linux-gnu");
#endif
}

TEST_F(Files, RemoveFileDeletesOrSaysWhy) {
    makeFile(at("a"), 1);
    QString reason;
    EXPECT_TRUE(platform::removeFile(at("a"), &reason));
    EXPECT_FALSE(QFile::exists(at("a")));
    EXPECT_TRUE(reason.isEmpty());

    EXPECT_FALSE(platform::removeFile(at("a"), &reason));
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(ENOENT)));

    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    EXPECT_FALSE(platform::removeFile(at("sub"), nullptr));
    EXPECT_TRUE(QDir(at("sub")).exists());
}

TEST_F(Files, InjectedRemoveFailureKeepsTheFile) {
    makeFile(at("a"), 1);
    makeFile(at("b"), 1);
    QStringList asked;
    platform::fileHooks().removeError = [&](const QString& path) {
        asked << path;
        return path.endsWith("/a") ? EBUSY : 0;
    };
    QString reason;
    EXPECT_FALSE(platform::removeFile(at("a"), &reason));
    EXPECT_EQ(reason, QString::fromLocal8Bit(std::strerror(EBUSY)));
    EXPECT_TRUE(QFile::exists(at("a")));
    EXPECT_TRUE(platform::removeFile(at("b"), &reason));
    EXPECT_FALSE(QFile::exists(at("b")));
    EXPECT_EQ(asked, (QStringList{at("a"), at("b")}));
}

}  // namespace
