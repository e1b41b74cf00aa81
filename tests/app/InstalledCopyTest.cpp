// An installed copy: the settings and the pictures live in the user's folders, and nothing is
// written beside the program.

#include "app/Form1Fixture.h"

#include <QLineEdit>

#include "platform/Files.h"
#include "platform/Places.h"

namespace {

using testing_support::readFile;

class InstalledCopyTest : public Form1Test {
protected:
    QTemporaryDir home;
    const QString settingsFolder = home.path() + QStringLiteral("/.config/KoronCam");
    const QString userPictures = home.path() + QStringLiteral("/Pictures/KoronCam");
    QStringList removed;

    InstalledCopyTest() {
        platform::Services s = platform::services();
        s.userPlaces = platform::UserPlaces{settingsFolder, userPictures};
        platform::use(s);
        QDir().mkpath(home.path() + QStringLiteral("/Pictures"));
        // A test picture stored beside the program would be deleted again: see the deletions.
        platform::fileHooks().removeError = [this](const QString& path) {
            removed << path;
            return 0;
        };
    }
    ~InstalledCopyTest() override { platform::fileHooks() = {}; }

    QStringList besideTheProgram() const {
        return QDir(fake.appFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
};

TEST_F(InstalledCopyTest, FirstStartProposesThePicturesFolderAndKeepsTheSettingsInTheHome) {
    QString proposed;
    fake.ui.onShowModal = [&](QDialog& dialog) {
        proposed = dialog.findChild<QLineEdit*>("Text1")->text();
        dialog.findChild<QPushButton*>("Command1")->click();  // OK; the folder question: OK
        return dialog.result();
    };
    start();
    EXPECT_EQ(proposed, userPictures + "/");
    EXPECT_TRUE(QFileInfo(userPictures).isDir());
    EXPECT_EQ(readFile(settingsFolder + "/KoronCam.ini"),
              "[init]\nmaxpathsize=2\npath=" + userPictures.toUtf8() +
                  "/\nkcactive=True\nstopiffull=True\nrunpng=False\n");
    EXPECT_EQ(globals().bmpsize, 1160 * 300 + 54) << "measured in memory";
    EXPECT_EQ(besideTheProgram(), QStringList()) << "no test picture, no settings file";
    EXPECT_EQ(removed.join(' ').toStdString(), "")
        << "a test picture was stored beside the program";
}

TEST_F(InstalledCopyTest, ASettingsFolderThatCannotBeMadeIsReported) {
    testing_support::writeFile(home.path() + "/.config", "a file, not a folder");
    start();  // the options dialog of the first start is cancelled
    fake.ui.messages.clear();
    form->mnuDisp_Click();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_TRUE(fake.ui.messages[0].text.startsWith("設定ファイルのフォルダ " + settingsFolder +
                                                    " を作れません。\r\n"))
        << fake.ui.messages[0].text.toStdString();
    EXPECT_TRUE(globals().settings.formmin) << "the change holds until the program ends";
}

}  // namespace
