// The profile backend on real files: atomic replacement, untouched files, failures.

#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/Errors.h"
#include "platform/Profile.h"
#include "support/FakePlatform.h"

namespace {

using platform::profile::read;
using platform::profile::write;
using testing_support::readFile;
using testing_support::writeFile;

struct stat statOf(const QString& path) {
    struct stat st {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    return st;
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Lowers the largest file size this process may write, so that writing fails for real with
// EFBIG even for root. Restores the limit and the signal on leaving.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ok_ = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, oldHandler_);
    }
    bool ok() const { return ok_; }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
    bool ok_ = false;
};

class ProfileFile : public testing::Test {
protected:
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("KoronCam.ini"));
};

TEST_F(ProfileFile, ReadWithoutARegularFileGivesTheDefault) {
    EXPECT_EQ(read(file, "init", "path", "D"), "D");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("KoronCam.ini")));
    EXPECT_EQ(read(file, "init", "path", "D"), "D");
}

TEST_F(ProfileFile, WriteReplacesTheFileByRenameAndLeavesNoTemporaryFile) {
    writeFile(file, "[init]\npath=old\n");
    ASSERT_TRUE(
        QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    const ino_t oldInode = statOf(file).st_ino;

    write(file, "init", "path", "new");

    EXPECT_EQ(readFile(file), "[init]\npath=new\n");
    EXPECT_NE(statOf(file).st_ino, oldInode) << "written in place instead of renamed into place";
    EXPECT_EQ(statOf(file).st_mode & 07777, 0640u) << "the file's permissions are kept";
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"KoronCam.ini"});
}

TEST_F(ProfileFile, WritingTheValueAlreadyThereDoesNotWriteAtAll) {
    writeFile(file, "[init]\r\npath = same\r\n");
    const QDateTime old(QDate(2001, 2, 3), QTime(4, 5, 6));
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
    }
    const ino_t inode = statOf(file).st_ino;

    write(file, "INIT", "Path", "same");

    EXPECT_EQ(statOf(file).st_ino, inode);
    EXPECT_EQ(QFileInfo(file).lastModified(), old);
    EXPECT_EQ(readFile(file), "[init]\r\npath = same\r\n");
}

TEST_F(ProfileFile, WriteThroughASymbolicLinkUpdatesItsTarget) {
    const QString target = dir.filePath(QStringLiteral("real.ini"));
    writeFile(target, "[init]\npath=old\n");
    ASSERT_TRUE(QFile::link(target, file));

    write(file, "init", "path", "new");

    EXPECT_TRUE(QFileInfo(file).isSymLink());
    EXPECT_EQ(readFile(target), "[init]\npath=new\n");
}

// A failed write throws an error naming the file and the reason, and leaves what was there.
void expectWriteFails(const QString& file, const QString& value, const QString& reason) {
    try {
        write(file, "init", "path", value);
        ADD_FAILURE() << "the write to " << file.toStdString() << " did not fail";
    } catch (const platform::Error& e) {
        const QString prefix = QStringLiteral("設定ファイル %1 に書き込めません。\r\n").arg(file);
        EXPECT_TRUE(e.message().startsWith(prefix)) << e.what();
        EXPECT_TRUE(e.message().sliced(prefix.size()).startsWith(reason)) << e.what();
    }
}

TEST_F(ProfileFile, WriteIntoAMissingFolderFails) {
    const QString missing = dir.filePath(QStringLiteral("gone/KoronCam.ini"));
    expectWriteFails(missing, "v", "フォルダがありません。(");
    EXPECT_TRUE(entriesOf(dir.path()).isEmpty());
}

TEST_F(ProfileFile, WriteIntoAFolderThatIsAFileFails) {
    writeFile(dir.filePath(QStringLiteral("app")), "not a folder");
    expectWriteFails(dir.filePath(QStringLiteral("app/KoronCam.ini")), "v",
                     "パスの途中にフォルダでないものがあります。(");
    EXPECT_EQ(readFile(dir.filePath(QStringLiteral("app"))), "not a folder");
}

TEST_F(ProfileFile, WriteOverAFolderOfTheSameNameFails) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("KoronCam.ini")));
    expectWriteFails(file, "v", "同じ名前のフォルダがあります。");
    EXPECT_TRUE(QFileInfo(file).isDir());
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"KoronCam.ini"});
}

TEST_F(ProfileFile, FailedWriteLeavesTheOldFileByteForByte) {
    const QByteArray old = "\xEF\xBB\xBF[init]\r\nmaxpathsize=2\r\npath=/old/\r\n";
    writeFile(file, old);
    {
        FileSizeLimit limit(old.size() + 4);
        ASSERT_TRUE(limit.ok());
        expectWriteFails(file, QStringLiteral("/a/much/longer/picture/folder/"),
                         "ファイルが大きすぎます。(");
    }
    EXPECT_EQ(readFile(file), old);
    EXPECT_EQ(entriesOf(dir.path()), QStringList{"KoronCam.ini"}) << "a temporary file was left";
}

TEST_F(ProfileFile, AValueThatCannotBeReadBackIsRefused) {
    writeFile(file, "[init]\npath=old\n");
    const QString why = QStringLiteral("値に改行か NUL 文字が含まれています。");
    expectWriteFails(file, QStringLiteral("a\nb=c"), why);
    expectWriteFails(file, QStringLiteral("a\rb"), why);
    expectWriteFails(file, QStringLiteral("a") + QChar(u'\0') + QStringLiteral("b"), why);
    EXPECT_THROW(write(file, "init", "a=b", "v"), platform::Error);
    EXPECT_THROW(write(file, "init", ";k", "v"), platform::Error);
    EXPECT_THROW(write(file, "init", " ", "v"), platform::Error);
    EXPECT_THROW(write(file, "in]it", "k", "v"), platform::Error);
    EXPECT_EQ(readFile(file), "[init]\npath=old\n");
}

}  // namespace
