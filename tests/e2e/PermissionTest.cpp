// A picture folder that the user may no longer write to, with the program run by an ordinary
// user: for root, file permissions do not hold.

#include <sys/stat.h>
#include <QDir>
#include <QFile>

#include "Harness.h"

namespace e2e {
namespace {

using PermissionTest = MainWindowTest;

TEST_F(PermissionTest, FolderMadeReadOnlyWhileShootingStopsItAndLeavesNoPartialFile) {
    if (!program.runAsNobody()) {
        GTEST_SKIP() << "no unprivileged user \"nobody\" here";
    }
    Options options;
    options.maxpathsize = 20;
    ASSERT_NO_FATAL_FAILURE(startWith(options));
    switchByButton();
    ASSERT_TRUE(desktop.waitForTitle(window->id, kShooting));
    ASSERT_TRUE(waitForPictures(1));

    const QByteArray folder = QFile::encodeName(program.pictureFolder());
    ASSERT_EQ(chmod(folder.constData(), 0555), 0);
    const std::optional<WindowId> box =
        program.waitForWindow(QStringLiteral("KoronCam"), 3 * kTickTimeout);
    ASSERT_TRUE(box.has_value()) << "the failed save was not reported";
    confirmMessage(program);
    EXPECT_TRUE(desktop.waitForTitle(window->id, kStopped)) << "shooting went on";
    ASSERT_EQ(chmod(folder.constData(), 0755), 0);

    // The pictures stored before are whole, and nothing else is there: no temporary file.
    const QStringList everything =
        QDir(program.pictureFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const std::vector<QFileInfo> stored = pictures(program.pictureFolder());
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(size_t(everything.size()), stored.size()) << everything.join(' ').toStdString();
    for (const QFileInfo& picture : stored) {
        EXPECT_EQ(picture.size(), kBmpSize) << picture.fileName().toStdString();
    }
}

}  // namespace
}  // namespace e2e
