// The user's folders of an installed copy: the configuration and pictures folders by the
// freedesktop.org rules, and the folders made for them.

#include <gtest/gtest.h>
#include <cerrno>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include "platform/Places.h"
#include "platform/posix/UserFolders.h"
#include "support/FakePlatform.h"

namespace {

using platform::picturesFolder;

const QString kHome = QStringLiteral("/home/u");

TEST(UserFolders, PicturesFolderIsReadFromUserDirs) {
    EXPECT_EQ(picturesFolder(kHome, ""), "/home/u/Pictures");
    // As xdg-user-dirs-update writes the file for a German desktop.
    const QByteArray german =
        "# This file is written by xdg-user-dirs-update\n"
        "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n"
        "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
        "XDG_VIDEOS_DIR=\"$HOME/Videos\"\n";
    EXPECT_EQ(picturesFolder(kHome, german), "/home/u/Bilder");
    EXPECT_EQ(picturesFolder(kHome, "XDG_PICTURES_DIR=\"/data/写真/\"\r\n"), "/data/写真");
    EXPECT_EQ(picturesFolder(kHome, " XDG_PICTURES_DIR = \"$HOME/a \\\"b\\\" \\$c\"\n"),
              "/home/u/a \"b\" $c");
    EXPECT_EQ(picturesFolder(kHome, "XDG_PICTURES_DIR=\"$HOME/\"\n"), "/home/u")
        << "the home folder itself";
    // The last line counts, as when a shell reads the file.
    EXPECT_EQ(picturesFolder(kHome, "XDG_PICTURES_DIR=\"$HOME/a\"\nXDG_PICTURES_DIR=\"/b\"\n"),
              "/b");
    // Lines of other forms are ignored.
    for (const char* line : {"#XDG_PICTURES_DIR=\"$HOME/x\"", "XDG_PICTURES_DIR=\"x\"",
                             "XDG_PICTURES_DIR=\"$HOMEx\"", "XDG_PICTURES_DIR=$HOME/x",
                             "XDG_PICTURES_DIR=\"$HOME/x", "XDG_PICTURES_DIR=\"$HOME/x\" y",
                             "XDG_PICTURES_DIRS=\"$HOME/x\"", "XDG_VIDEOS_DIR=\"$HOME/x\""}) {
        EXPECT_EQ(picturesFolder(kHome, QByteArray(line) + "\n"), "/home/u/Pictures") << line;
    }
}

// Lines as xdg-user-dirs-update writes them (its escapes) and as people edit them; the path's
// bytes as they are, for any key.
TEST(UserFolders, UserDirsLinesAreReadAsTheDesktopWritesThem) {
    const std::pair<const char*, QByteArray> lines[] = {
        {"XDG_PICTURES_DIR=\"$HOME/x\" # mine", "/home/u/x"},
        {"XDG_PICTURES_DIR=\"$HOME/a\\\\b\\$c\\`d\"", "/home/u/a\\b$c`d"},
        {"XDG_PICTURES_DIR=\"$HOME\"", "/home/u"},
        {"XDG_PICTURES_DIR=\"/m/\x8e\xca\x90\x5e\"", "/m/\x8e\xca\x90\x5e"},
        {"# XDG_PICTURES_DIR=\"$HOME/x\"", "/home/u/Pictures"},
    };
    for (const auto& [line, folder] : lines) {
        EXPECT_EQ(platform::userDir(kHome, QByteArray(line) + "\n", "XDG_PICTURES_DIR", "Pictures"),
                  folder)
            << line;
    }
    const QByteArray both = "XDG_PICTURES_DIR=\"$HOME/P\"\nXDG_VIDEOS_DIR=\"/v\"\n";
    EXPECT_EQ(platform::userDir(kHome, both, "XDG_VIDEOS_DIR", "Videos"), "/v");
    // A folder whose name is not UTF-8 cannot be kept in the settings: no look-alike is made.
    EXPECT_EQ(picturesFolder(kHome, "XDG_PICTURES_DIR=\"$HOME/\x8e\xca\"\n"), "/home/u/Pictures");
}

// HOME and XDG_CONFIG_HOME for the length of one test.
class Environment {
public:
    Environment() : home_(qgetenv("HOME")), config_(qgetenv("XDG_CONFIG_HOME")) {}
    ~Environment() {
        qputenv("HOME", home_);
        config_.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", config_);
    }

private:
    QByteArray home_, config_;
};

TEST(UserFolders, InstalledPlacesFollowTheEnvironmentAndMakeOnlyThePicturesFolder) {
    Environment saved;
    QTemporaryDir home;
    const QString h = home.path();
    qputenv("HOME", QFile::encodeName(h));
    qunsetenv("XDG_CONFIG_HOME");
    platform::UserPlaces places = platform::installedPlaces();
    EXPECT_EQ(places.settingsFolder, h + "/.config/KoronCam");
    EXPECT_EQ(places.pictureFolder, h + "/Pictures/KoronCam");
    EXPECT_EQ(QDir(h).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"Pictures"})
        << "the pictures folder is made, the rest when it is needed";

    qputenv("XDG_CONFIG_HOME", "relative/cfg");  // ignored: not an absolute path
    EXPECT_EQ(platform::installedPlaces().settingsFolder, h + "/.config/KoronCam");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(h + "/cfg"));
    ASSERT_TRUE(QDir().mkpath(h + "/cfg"));
    testing_support::writeFile(h + "/cfg/user-dirs.dirs", "XDG_PICTURES_DIR=\"$HOME/写真\"\n");
    places = platform::installedPlaces();
    EXPECT_EQ(places.settingsFolder, h + "/cfg/KoronCam");
    EXPECT_EQ(places.pictureFolder, h + "/写真/KoronCam");
    EXPECT_TRUE(QFileInfo(h + "/写真").isDir());
}

TEST(UserFolders, MakeFoldersMakesEveryMissingLevel) {
    QTemporaryDir dir;
    const QString deep = dir.path() + "/a/b/c";
    EXPECT_EQ(platform::makeFolders(deep), 0);
    EXPECT_TRUE(QFileInfo(deep).isDir());
    EXPECT_EQ(QFileInfo(dir.path() + "/a").permissions() & QFileDevice::ReadOther,
              QFileDevice::Permissions{})
        << "configuration folders are the user's alone";
    EXPECT_EQ(platform::makeFolders(deep), 0) << "an existing folder is fine";
    testing_support::writeFile(dir.path() + "/file", "x");
    EXPECT_EQ(platform::makeFolders(dir.path() + "/file/d"), ENOTDIR);
}

// An installed copy is told from a portable one by the layout the install step leaves.
TEST(Places, AnInstalledCopyIsKnownByItsLayoutNotByItsPermissions) {
    QTemporaryDir root;
    const QString prefix = root.path() + "/usr";
    const QString program = prefix + "/lib/koroncam";
    ASSERT_TRUE(QDir().mkpath(program) && QDir().mkpath(prefix + "/bin"));
    ASSERT_TRUE(QFile(program + "/KoronCam").open(QIODevice::WriteOnly));
    EXPECT_FALSE(platform::installedLayout(program)) << "no command leads to it";
    ASSERT_TRUE(QFile::link("../lib/koroncam/KoronCam", prefix + "/bin/koroncam"));
    EXPECT_TRUE(platform::installedLayout(program)) << "writable, and installed all the same";

    // A build folder or a copy elsewhere, even with a command of that name leading to it.
    ASSERT_TRUE(QFile::remove(prefix + "/bin/koroncam"));
    ASSERT_TRUE(QFile::link(root.path() + "/KoronCam", prefix + "/bin/koroncam"));
    ASSERT_TRUE(QFile(root.path() + "/KoronCam").open(QIODevice::WriteOnly));
    EXPECT_FALSE(platform::installedLayout(root.path()));
    EXPECT_FALSE(platform::installedLayout(program)) << "the command starts another program";
}

}  // namespace
