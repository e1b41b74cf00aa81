// The installed program as a user meets it: unpacked from the package into a folder that nobody
// may write, started by its command as an ordinary user with a fresh home folder.

#include <sys/stat.h>
#include <unistd.h>
#include <QDirIterator>

#include "Package.h"
#include "e2e/Harness.h"

namespace e2e {
namespace {

// Every entry below `root` with its size and last-modified time, in name order.
QStringList snapshot(const QString& root) {
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QFileInfo entry(it.next());
        entries << QStringLiteral("%1 %2 %3")
                       .arg(entry.filePath())
                       .arg(entry.size())
                       .arg(entry.lastModified().toMSecsSinceEpoch());
    }
    entries.sort();
    return entries;
}

// Takes the write permission away from `root` and everything below it.
void makeReadOnly(const QString& root) {
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    QStringList paths = {root};
    while (it.hasNext()) {
        paths << it.next();
    }
    for (const QString& path : paths) {
        const QByteArray name = QFile::encodeName(path);
        struct stat info {};
        ASSERT_EQ(lstat(name.constData(), &info), 0) << path.toStdString();
        if (S_ISLNK(info.st_mode)) {
            continue;
        }
        // Readable (and the folders passable) for every user, writable for none.
        const mode_t mode =
            (info.st_mode & 07777 & ~mode_t(0222)) | 0444 | (S_ISDIR(info.st_mode) ? 0111 : 0);
        ASSERT_EQ(chmod(name.constData(), mode), 0) << path.toStdString();
    }
}

using InstalledTest = ProgramTest;

TEST_F(InstalledTest, KeepsSettingsAndPicturesInTheHomeAndWritesNothingBesideItself) {
    if (!program.runAsNobody()) {
        GTEST_SKIP() << "no unprivileged user \"nobody\" here";
    }
    const QString deb = package::debPath();
    ASSERT_FALSE(deb.isEmpty());
    QTemporaryDir root;
    const package::Result unpacked = package::run("dpkg-deb", {"-x", deb, root.path()});
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.output.toStdString();
    ASSERT_NO_FATAL_FAILURE(makeReadOnly(root.path()));
    const QStringList before = snapshot(root.path());
    program.useInstalled(root.path() + "/usr/bin/koroncam");
    const QString pictureFolder = program.home() + "/Pictures/KoronCam/";
    const QString settingsFile = program.home() + "/.config/KoronCam/KoronCam.ini";

    // The first start asks for the settings and proposes the user's pictures folder; OK makes
    // it (the program asks first) and stores the settings in the user's configuration folder.
    ASSERT_NO_FATAL_FAILURE(program.start());
    const std::optional<WindowId> dialog = program.waitForWindow(QStringLiteral("設定"));
    ASSERT_TRUE(dialog.has_value()) << "no options dialog at the first start";
    click(*dialog, kOptionsOkButton);
    confirmMessage(program);
    std::optional<MainWindow> window = findMainWindow(program, kStopped);
    ASSERT_TRUE(window.has_value());
    EXPECT_TRUE(QFileInfo(pictureFolder).isDir());
    QFile settings(settingsFile);
    ASSERT_TRUE(settings.open(QIODevice::ReadWrite)) << "no settings file in ~/.config/KoronCam";
    QByteArray stored = settings.readAll();
    EXPECT_TRUE(stored.contains("\npath=" + pictureFolder.toUtf8() + "\n"));
    program.kill();

    // Pictures compressed as they are taken, by the encoder library beside the program.
    ASSERT_TRUE(stored.contains("\nrunpng=False\n"));
    stored.replace("\nrunpng=False\n", "\nrunpng=True\n");
    ASSERT_TRUE(settings.resize(0));
    ASSERT_EQ(settings.write(stored), stored.size());
    settings.close();

    // The second start finds the settings: no dialog, and shooting stores its pictures there.
    ASSERT_NO_FATAL_FAILURE(program.start());
    window = findMainWindow(program, kStopped);
    ASSERT_TRUE(window.has_value()) << "the options dialog came back";
    EXPECT_FALSE(desktop.findWindow(QStringLiteral("設定"), program.pid()).has_value());
    click(window->id, window->below(kStartButton));
    ASSERT_TRUE(desktop.waitForTitle(window->id, kShooting));
    const QStringList png = {QStringLiteral("kcPic*.png")};
    EXPECT_TRUE(
        waitUntil([&] { return pictures(pictureFolder, png).size() >= 2; }, 3 * kTickTimeout))
        << "no PNG pictures in " << pictureFolder.toStdString();
    click(window->id, window->below(kStartButton));
    EXPECT_TRUE(desktop.waitForTitle(window->id, kStopped));
    EXPECT_FALSE(desktop.findWindow(QStringLiteral("KoronCam"), program.pid()).has_value())
        << "a message box: " << program.output().toStdString();

    // The help file beside the program, found through the link in bin/: ヘルプ, then 目次.
    const std::optional<QPoint> help = menuCaption(window->id, 5);
    ASSERT_TRUE(help.has_value());
    click(window->id, *help);
    pressKeys(QStringLiteral("Down"));
    pressKeys(QStringLiteral("Return"));
    EXPECT_TRUE(program.waitForWindow(QStringLiteral("ころんカメラ ヘルプ")).has_value())
        << "no help window";

    EXPECT_EQ(snapshot(root.path()), before) << "something was written in the program's folder";
}

// Root may write anywhere, so only the program keeps the installed tree as it was: it is
// installed, whoever runs it.
TEST_F(InstalledTest, RunAsRootItStillWritesNothingBesideItself) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "runs only as root";
    }
    QTemporaryDir root;
    const package::Result unpacked =
        package::run("dpkg-deb", {"-x", package::debPath(), root.path()});
    ASSERT_EQ(unpacked.exitCode, 0) << unpacked.output.toStdString();
    const QStringList before = snapshot(root.path());
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("HOME"), home.path());
    environment.remove(QStringLiteral("XDG_CONFIG_HOME"));
    program.useEnvironment(environment);
    program.useInstalled(root.path() + "/usr/bin/koroncam");

    ASSERT_NO_FATAL_FAILURE(program.start());
    const std::optional<WindowId> dialog = program.waitForWindow(QStringLiteral("設定"));
    ASSERT_TRUE(dialog.has_value()) << "no options dialog at the first start";
    click(*dialog, kOptionsOkButton);
    confirmMessage(program);
    ASSERT_TRUE(findMainWindow(program, kStopped).has_value());
    EXPECT_TRUE(QFileInfo(home.path() + "/.config/KoronCam/KoronCam.ini").isFile());
    program.kill();
    EXPECT_EQ(snapshot(root.path()), before) << "something was written in the program's folder";
}

}  // namespace
}  // namespace e2e
