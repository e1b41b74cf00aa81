// The settings module over the application folder of a fake platform.

#include <gtest/gtest.h>
#include <csignal>
#include <sys/resource.h>
#include <QDir>

#include "platform/Errors.h"
#include "platform/Platform.h"
#include "settings/IniManage.h"
#include "support/FakePlatform.h"

namespace {

using testing_support::readFile;
using testing_support::writeFile;

class IniManageTest : public testing::Test {
protected:
    testing_support::FakePlatform fake;

    // Points the application folder somewhere else.
    void useAppFolder(const QString& folder) {
        platform::Services s = platform::services();
        s.appFolder = folder;
        platform::use(s);
    }
};

TEST_F(IniManageTest, TheFileLiesInTheApplicationFolder) {
    EXPECT_EQ(IniManage::iniPath(), fake.appFolder() + "/KoronCam.ini");
    useAppFolder(QStringLiteral("/opt/kc"));
    EXPECT_EQ(IniManage::iniPath(), "/opt/kc/KoronCam.ini");
}

TEST_F(IniManageTest, ReadIniGivesDefaultsUntilAValueIsThere) {
    EXPECT_EQ(IniManage::ReadIni("init", "maxpathsize", "2"), "2");
    writeFile(fake.iniPath(), "[init]\nformmin=True\nmaxpathsize=\n");
    EXPECT_EQ(IniManage::ReadIni("init", "formmin", "False"), "True");
    EXPECT_EQ(IniManage::ReadIni("init", "maxpathsize", "2"), "") << "key= is not the default";
    EXPECT_EQ(IniManage::ReadIni("init", "path", "/d/bmp"), "/d/bmp");
}

TEST_F(IniManageTest, ReadIniReturnsALongPathWhole) {
    const QString path = "/" + QStringLiteral("写真フォルダ/").repeated(20);  // 320 bytes in UTF-8
    writeFile(fake.iniPath(), "[init]\r\npath=" + path.toUtf8() + "\r\n");
    EXPECT_EQ(IniManage::ReadIni("init", "path", "x"), path);
}

TEST_F(IniManageTest, WriteIniStoresTheOptionsInOrder) {
    IniManage::WriteIni("init", "maxpathsize", "100");
    IniManage::WriteIni("init", "path", "/home/u/写真/");
    IniManage::WriteIni("init", "kcactive", "True");
    IniManage::WriteIni("init", "maxpathsize", "5");
    EXPECT_EQ(readFile(fake.iniPath()),
              "[init]\nmaxpathsize=5\npath=/home/u/写真/\nkcactive=True\n");
    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_EQ(IniManage::ReadIni("init", "path", ""), "/home/u/写真/");
}

// A failed write throws an error naming the file; showing it is the window's business.
void expectWriteFails(const QString& key, const QString& value, const QString& file) {
    try {
        IniManage::WriteIni("init", key, value);
        ADD_FAILURE() << "the write did not fail";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().startsWith("設定ファイル " + file + " に書き込めません。\r\n"))
            << e.what();
    }
}

TEST_F(IniManageTest, WriteIniIntoAMissingFolderIsReported) {
    useAppFolder(fake.appFolder() + "/missing");
    expectWriteFails("formmin", "True", IniManage::iniPath());
    EXPECT_FALSE(QFileInfo::exists(fake.appFolder() + "/missing"));
}

TEST_F(IniManageTest, WriteIniOverAFolderOfThatNameIsReported) {
    ASSERT_TRUE(QDir(fake.appFolder()).mkdir("KoronCam.ini"));
    expectWriteFails("formmin", "True", fake.iniPath());
    EXPECT_TRUE(QFileInfo(fake.iniPath()).isDir());
}

TEST_F(IniManageTest, FailedWriteIniKeepsTheOldFileWhole) {
    const QByteArray old = "[init]\r\nmaxpathsize=2\r\npath=/old/\r\nformmin=False\r\n";
    writeFile(fake.iniPath(), old);
    // A file size limit makes the write fail for real, even for root: the new file would be
    // larger than the old one.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit lowered = saved;
    lowered.rlim_cur = old.size();
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lowered), 0);
    expectWriteFails("path", "/a/longer/picture/folder/", fake.iniPath());
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_EQ(readFile(fake.iniPath()), old);
    EXPECT_EQ(QDir(fake.appFolder()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"KoronCam.ini"});
}

TEST(CutNull, KeepsWhatPrecedesTheFirstNul) {
    const QChar nul(u'\0');
    EXPECT_EQ(IniManage::CutNull("abc"), "");
    EXPECT_EQ(IniManage::CutNull(QString("ab") + nul + "cd"), "ab");
    EXPECT_EQ(IniManage::CutNull(QString(nul) + "x"), "");
    EXPECT_EQ(IniManage::CutNull(QString("a") + nul + "b" + nul), "a");
    EXPECT_EQ(IniManage::CutNull(""), "");
}

}  // namespace
