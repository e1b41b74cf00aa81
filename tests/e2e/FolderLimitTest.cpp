// The picture folder's size limit: stopping when it is full, or deleting the oldest pictures.

#include <algorithm>
#include <set>

#include "Harness.h"

namespace e2e {
namespace {

constexpr qint64 kMegabyte = 1024 * 1024;

using FolderLimitTest = MainWindowTest;

TEST_F(FolderLimitTest, StopModeRefusesAFullFolderAndStopsWhenItFillsUp) {
    Options options;
    options.maxpathsize = 1;
    options.stopiffull = true;
    ASSERT_NO_FATAL_FAILURE(startWith(options));
    // Files put there by hand count like pictures.
    const QString filler = program.pictureFolder() + "kcPicfiller.bmp";
    writeFile(filler, 2 * kMegabyte);
    const auto taken = [&] { return pictures(program.pictureFolder()).size() - 1; };

    switchByKey();
    const std::optional<WindowId> refusal = program.waitForWindow(QStringLiteral("KoronCam"));
    ASSERT_TRUE(refusal.has_value()) << "a start with a full folder was not refused";
    EXPECT_EQ(desktop.title(window->id), kStopped);
    confirmMessage(program);
    std::this_thread::sleep_for(1500ms);  // a tick would come within this if it had started
    EXPECT_EQ(desktop.title(window->id), kStopped);
    EXPECT_EQ(taken(), 0u);

    // Room for one picture: the first tick stores it, the next finds the folder full.
    writeFile(filler, kMegabyte * 9 / 10);
    switchByKey();
    ASSERT_TRUE(desktop.waitForTitle(window->id, kShooting));
    const std::optional<WindowId> full =
        program.waitForWindow(QStringLiteral("KoronCam"), 3 * kTickTimeout);
    ASSERT_TRUE(full.has_value()) << "shooting went on in a full folder";
    EXPECT_EQ(taken(), 1u);
    confirmMessage(program);
    EXPECT_TRUE(desktop.waitForTitle(window->id, kStopped));
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(desktop.title(window->id), kStopped);
    EXPECT_EQ(taken(), 1u) << "shooting went on";
    EXPECT_FALSE(desktop.findWindow(QStringLiteral("KoronCam"), program.pid()).has_value());
}

TEST_F(FolderLimitTest, DeleteModeKeepsTheFolderWithinTheLimitDeletingTheOldestFirst) {
    Options options;
    options.maxpathsize = 1;
    options.stopiffull = false;
    ASSERT_NO_FATAL_FAILURE(startWith(options));
    const QString folder = program.pictureFolder();
    // Older pictures whose ages run against their names: the time decides, not the name.
    const QDateTime day = QDateTime::currentDateTime().addDays(-10);
    writeFile(folder + "kcPic2001-01-01-00-00-00.bmp", 300000, day.addSecs(200));
    writeFile(folder + "kcPic2001-01-02-00-00-00.png", 300000, day);
    writeFile(folder + "kcPic2001-01-03-00-00-00.bmp", 300000, day.addSecs(100));
    // Neither counted nor deleted.
    writeFile(folder + "kcPicnote.txt", 500000);
    const QStringList oldestFirst = {"kcPic2001-01-02-00-00-00.png", "kcPic2001-01-03-00-00-00.bmp",
                                     "kcPic2001-01-01-00-00-00.bmp"};

    switchByKey();
    ASSERT_TRUE(desktop.waitForTitle(window->id, kShooting));
    // Watch the folder through five ticks: from the second on, each tick deletes one picture,
    // the oldest, before it stores its own: first the three old ones, then the program's first.
    std::set<QString> made;
    QStringList gone;  // in the order seen
    std::set<QString> present = {oldestFirst.begin(), oldestFirst.end()};
    qint64 largest = 0;
    QStringList outOfStep;
    const bool seen = waitUntil(
        [&] {
            const std::vector<QFileInfo> files = pictures(folder);
            std::set<QString> now;
            for (const QFileInfo& file : files) {
                now.insert(file.fileName());
                if (!oldestFirst.contains(file.fileName())) {
                    made.insert(file.fileName());
                }
            }
            for (const QString& name : present) {
                if (!now.contains(name)) {
                    gone.append(name);
                }
            }
            present = now;
            largest = std::max(largest, totalSize(files));
            if (gone.size() > qsizetype(made.size()) || gone.size() < qsizetype(made.size()) - 1) {
                outOfStep.append(
                    QStringLiteral("%1 made, %2 gone").arg(made.size()).arg(gone.size()));
            }
            return made.size() >= 5;
        },
        6 * kTickTimeout);
    switchByKey();
    ASSERT_TRUE(seen) << made.size() << " pictures made";
    ASSERT_TRUE(desktop.waitForTitle(window->id, kStopped));

    EXPECT_LE(largest, kMegabyte + kBmpSize) << "over the limit by more than one picture";
    EXPECT_TRUE(outOfStep.isEmpty())
        << "not one deletion a tick: " << outOfStep.join(", ").toStdString();
    QStringList expected = oldestFirst;
    expected.append(*made.begin());  // the program's first picture
    ASSERT_GE(gone.size(), expected.size()) << gone.join(' ').toStdString();
    EXPECT_EQ(gone.mid(0, 4), expected) << gone.join(' ').toStdString();
    EXPECT_TRUE(QFileInfo::exists(folder + "kcPicnote.txt"));
    for (const QString& name : made) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(timeInName(name).isValid());
    }
}

}  // namespace
}  // namespace e2e
