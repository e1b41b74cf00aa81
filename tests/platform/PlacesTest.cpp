// How an installed copy is told from a portable one: by the layout the install step leaves.
#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/Places.h"

namespace {

TEST(Places, AnInstalledCopyIsKnownByItsLayoutNotByItsPermissions) {
    QTemporaryDir root;
    const QString prefix = root.path() + "/usr";
    const QString program = prefix + "/lib/koroncam";
    ASSERT_TRUE(QDir().mkpath(program) && QDir().mkpath(prefix + "/bin"));
    ASSERT_TRUE(QFile(program + "/KoronCam").open(QIODevice::WriteOnly));
    EXPECT_FALSE(platform::installedLayout(program)) << "no command leads to it";
    ASSERT_TRUE(QFile::link("../lib/koroncam/KoronCam", prefix + "/bin/koroncam"));
    EXPECT_TRUE(platform::installedLayout(program)) << "writable, and installed all the same";

    // A build folder or a copy elsewhere, even with a command of that name beside it.
    const QString copy = root.path() + "/build";
    ASSERT_TRUE(QDir().mkpath(copy) && QDir().mkpath(root.path() + "/bin"));
    ASSERT_TRUE(QFile(copy + "/KoronCam").open(QIODevice::WriteOnly));
    ASSERT_TRUE(QFile::link(copy + "/KoronCam", root.path() + "/bin/koroncam"));
    EXPECT_FALSE(platform::installedLayout(copy));
    ASSERT_TRUE(QFile::remove(prefix + "/bin/koroncam"));
    ASSERT_TRUE(QFile::link(copy + "/KoronCam", prefix + "/bin/koroncam"));
    EXPECT_FALSE(platform::installedLayout(program)) << "the command starts another program";
}

}  // namespace
