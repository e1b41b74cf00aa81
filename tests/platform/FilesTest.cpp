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
#include "platform/SystemError.h"

namespace {

QStringList names(const std::vector<platform::FileInfo>& files) {
    QStringList list;
    for (const auto& f : files) {
        list << f.name;
    }
    return list;
}

class Files : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    void TearDown() override { platform::fileHooks() = {}; }
    QString at(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    QByteArray raw(const QString& name) const { return QFile::encodeName(at(name)); }

    // A file of `size` bytes (sparse) last modified at `seconds` + `nanoseconds`.
    void makeFile(const QString& name, int64_t size, int64_t seconds = 1'000'000'000,
                  long nanoseconds = 0) {
        const int fd = ::open(raw(name).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0) << raw(name).constData() << ": " << std::strerror(errno);
        ASSERT_EQ(::ftruncate(fd, size), 0);
        const timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
        ASSERT_EQ(::futimens(fd, times), 0);
        ::close(fd);
    }

    QTemporaryDir dir;
};

TEST(Wildcard, MatchesStarsAndQuestionMarksIgnoringCase) {
    using platform::wildcardMatch;
    for (const char* name : {"kcPic2024-01-02.bmp", "KCPIC1.BMP", "kcPic.bmp", "kcPic.bmp.bmp"}) {
        EXPECT_TRUE(wildcardMatch(name, "kcPic*.bmp")) << name;
    }
    for (const char* name : {"kcPic1.bmpx", "kcPic.jpg", "xkcPic1.bmp", "kcPi.bmp"}) {
        EXPECT_FALSE(wildcardMatch(name, "kcPic*.bmp")) << name;
    }
    EXPECT_TRUE(wildcardMatch("a1b", "a?b"));
    EXPECT_FALSE(wildcardMatch("ab", "a?b"));
    EXPECT_TRUE(wildcardMatch(QStringLiteral("kcPic写.bmp"), "kcPic?.bmp"));  // one character,
    EXPECT_TRUE(wildcardMatch(QStringLiteral("kcPic𝄞.bmp"), "kcPic?.bmp"));   // not one unit
    EXPECT_TRUE(wildcardMatch(QStringLiteral("ÄBC"), QStringLiteral("äb*")));
    EXPECT_TRUE(wildcardMatch("xaybz", "*a*b?"));
    EXPECT_FALSE(wildcardMatch("xaybzz", "*a*b?"));
    EXPECT_TRUE(wildcardMatch("", "*"));
    EXPECT_FALSE(wildcardMatch("a", ""));
}

TEST_F(Files, ListsRegularVisibleMatchingFilesSortedIgnoringCase) {
    makeFile("kcPicb.bmp", 10, 1'000'000'123, 456);
    makeFile("KCPICA.BMP", int64_t{5} << 30);  // sparse, above 4 GiB
    makeFile("kcPicC.bmp", 0);
    makeFile("kcPicD.png", 5);
    makeFile(".kcPicE.bmp", 1);
    ASSERT_TRUE(QDir(dir.path()).mkdir("kcPicF.bmp"));
    ASSERT_EQ(::symlink("kcPicC.bmp", raw("kcPicG.bmp").constData()), 0);
    ASSERT_EQ(::symlink("kcPicF.bmp", raw("kcPicH.bmp").constData()), 0);
    ASSERT_EQ(::mkfifo(raw("kcPicI.bmp").constData(), 0644), 0);
    makeFile(QStringLiteral("写真b.bmp"), 1);
    makeFile(QStringLiteral("写真A.BMP"), 1);

    const auto files = platform::listFiles(dir.path(), "kcPic*.bmp");
    EXPECT_EQ(names(files), (QStringList{"KCPICA.BMP", "kcPicb.bmp", "kcPicC.bmp"}));
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(files[0].size, int64_t{5} << 30);
    EXPECT_EQ(files[1].size, 10);
    EXPECT_EQ(files[1].modifiedNs, 1'000'000'123'000'000'456);
    EXPECT_EQ(names(platform::listFiles(dir.path() + "/", "*")),
              (QStringList{"KCPICA.BMP", "kcPicb.bmp", "kcPicC.bmp", "kcPicD.png",
                           QStringLiteral("写真A.BMP"), QStringLiteral("写真b.bmp")}));
    EXPECT_EQ(names(platform::listFiles(dir.path(), QStringLiteral("写真B.*"))),
              QStringList{QStringLiteral("写真b.bmp")});
}

TEST_F(Files, ListingOrderIgnoresCaseThenFollowsCodePoints) {
    using platform::listedBefore;
    EXPECT_TRUE(listedBefore("KCPICA.BMP", "kcPicb.bmp"));
    EXPECT_FALSE(listedBefore("kcPicb.bmp", "KCPICA.BMP"));
    EXPECT_TRUE(listedBefore("kcPic_1", "kcPica"));  // '_' before letters, as lower case
    EXPECT_NE(listedBefore("ABC", "abc"), listedBefore("abc", "ABC"));
    EXPECT_FALSE(listedBefore("abc", "abc"));
    EXPECT_TRUE(listedBefore(QStringLiteral("äb"), QStringLiteral("ÄC")));
}

TEST_F(Files, MissingFolderIsEmptyUnreadableOneThrowsNamingIt) {
    EXPECT_TRUE(platform::listFiles(at("nothing-here"), "*").empty());
    makeFile("plain", 1);
    EXPECT_TRUE(platform::listFiles(at("plain"), "*").empty());
    // Root reads any folder, so use failures root meets too: a link loop, a name too long.
    ASSERT_EQ(::symlink("loop", raw("loop").constData()), 0);
    try {
        platform::listFiles(at("loop"), "*");
        ADD_FAILURE() << "a link loop must not list";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().contains(at("loop"))) << e.what();
        EXPECT_TRUE(e.message().contains(QStringLiteral("読み取れません"))) << e.what();
    }
    EXPECT_THROW(platform::listFiles(at(QString(300, QLatin1Char('x'))), "*"), platform::Error);
}

TEST_F(Files, OneReadingServesSeveralPatternsAndSkipsVanishedFiles) {
    for (const char* name : {"kcPic1.bmp", "kcPic2.png", "other.bmp", "gone.bmp"}) {
        makeFile(name, std::strlen(name));
    }
    int measured = 0;
    platform::fileHooks().beforeMeasure = [&](const QString& folder, const QString& name) {
        ++measured;
        if (name == "gone.bmp") {
            QFile::remove(folder + "/" + name);
        }
    };
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
    EXPECT_EQ(seen[0], (QStringList{"kcPic1.bmp:10", "kcPic2.png:10"}));
    EXPECT_EQ(seen[1], (QStringList{"kcPic1.bmp:10", "other.bmp:9"}));
    EXPECT_TRUE(seen[2].isEmpty());
    EXPECT_EQ(measured, 4);  // each file once
}

TEST_F(Files, PlainFilesAndTheSystemDirectory) {
    makeFile("a.txt", 1);
    makeFile(".hidden", 1);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    ASSERT_EQ(::symlink("a.txt", raw("link.so").constData()), 0);
    ASSERT_EQ(::symlink("gone", raw("dangling").constData()), 0);
    EXPECT_TRUE(platform::isPlainFile(at("a.txt")));
    EXPECT_TRUE(platform::isPlainFile(at("link.so")));  // followed: libraries are often links
    for (const char* name : {".hidden", "sub", "sub/", "dangling", "missing"}) {
        EXPECT_FALSE(platform::isPlainFile(at(name))) << name;
    }

    const QString system = platform::systemDirectory();
    EXPECT_TRUE(platform::isPlainFile(system + "/libc.so.6")) << system.toStdString();
#if defined(__x86_64__) && !defined(__ILP32__)
    EXPECT_EQ(system, "/usr/lib/x86_64-linux-gnu");
#endif
}

TEST_F(Files, RemoveFileDeletesOrSaysWhy) {
    makeFile("a", 1);
    makeFile("b", 1);
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    // The reason a removal failed, in the user's words; empty when it worked.
    auto failure = [](const QString& path) {
        try {
            platform::removeFile(path);
            return QString();
        } catch (const platform::Error& e) {
            return e.message();
        }
    };
    EXPECT_EQ(failure(at("a")), "");
    EXPECT_FALSE(QFile::exists(at("a")));
    EXPECT_EQ(failure(at("a")), platform::describeError(ENOENT));
    EXPECT_EQ(failure(at("sub")), platform::describeError(EISDIR));
    EXPECT_TRUE(QDir(at("sub")).exists());

    QStringList asked;
    platform::fileHooks().removeError = [&](const QString& path) {
        asked << path;
        return path.endsWith("/b") ? EBUSY : 0;
    };
    EXPECT_EQ(failure(at("b")), platform::describeError(EBUSY));
    EXPECT_TRUE(QFile::exists(at("b")));
    EXPECT_EQ(failure(at("a")), platform::describeError(ENOENT));  // the real error when no fault
    EXPECT_EQ(asked, (QStringList{at("b"), at("a")}));
}

// A file deleted by its name's bytes that is not there is told as a file, not as a folder.
TEST_F(Files, RemovingAMissingFileByItsBytesSaysTheFileIsMissing) {
    try {
        platform::removeFile(dir.path() + '/', "kcPic\xff.bmp");
        ADD_FAILURE() << "a missing file was deleted";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().startsWith("ファイルがありません。(")) << e.message().toStdString();
    }
}

}  // namespace
