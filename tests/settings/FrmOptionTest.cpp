// The options dialog: the estimate line, the folder checks and creation, what OK stores and
// writes, Cancel, drops and keys.

#include <gtest/gtest.h>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include "settings/FrmOption.h"
#include "support/FakePlatform.h"

using testing_support::readFile;
using testing_support::writeFile;

namespace {

struct FakeHost : OptionsHost {
    bool libraryPresent = true;
    int pngChecks = 0;
    bool gaugeVisible = true;
    bool pngMenuEnabled = true;

    bool CheckPngDll() override {
        ++pngChecks;
        pngMenuEnabled = libraryPresent;
        return libraryPresent;
    }
    void setGaugeVisible(bool visible) override { gaugeVisible = visible; }
    void setPngMenuEnabled(bool enabled) override { pngMenuEnabled = enabled; }
};

class FrmOptionTest : public ::testing::Test {
protected:
    testing_support::FakePlatform fake;
    FakeHost host;
    Settings settings;
    int32_t bmpsize = 348054;
    std::unique_ptr<FrmOption> dialog;

    FrmOptionTest() {
        settings.path = fake.appFolder() + "/pics/";
        settings.maxpathsize = 5;
        QDir().mkpath(settings.path);
    }
    FrmOption& open() {
        dialog = std::make_unique<FrmOption>(nullptr, settings, bmpsize, host);
        dialog->show();
        return *dialog;
    }
    template <class T>
    T* child(const char* name) {
        return dialog->findChild<T*>(QString::fromLatin1(name));
    }
    QLineEdit* text1() { return child<QLineEdit>("Text1"); }
    QLineEdit* text2() { return child<QLineEdit>("Text2"); }
    QString estimate() { return child<QLabel>("Label4")->text(); }
    void ok() { child<QPushButton>("Command1")->click(); }
    void cancel() { child<QPushButton>("cmdCancel")->click(); }
    void haveSettingsFile() { writeFile(fake.iniPath(), "[init]\nformmin=False\n"); }
};

}  // namespace

TEST_F(FrmOptionTest, OpensWithTheSettingsInMemory) {
    settings.kcactive = false;
    settings.runpng = true;
    open();
    EXPECT_EQ(dialog->windowTitle(), "設定");
    EXPECT_EQ(text1()->text(), settings.path);
    EXPECT_EQ(text2()->text(), "5");
    EXPECT_FALSE(child<QCheckBox>("Check1")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("Check2")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("Check3")->isChecked());
    EXPECT_TRUE(child<QCheckBox>("Check3")->isEnabled());
    EXPECT_EQ(estimate(), "(約77枚　写真が撮れます)") << "5 MB of 68000-byte pictures";
    // What is drawn counts, not the palette: buttons paint their background in another role.
    const QImage drawn = dialog->grab().toImage();
    EXPECT_EQ(drawn.pixelColor(2, drawn.height() - 2), QColor(192, 255, 255));
    for (const char* name : {"Check1", "Check2", "Check3"}) {
        const auto* box = child<QCheckBox>(name);
        const QPoint farEnd = box->mapTo(dialog.get(), QPoint(box->width() - 2, box->height() / 2));
        EXPECT_EQ(drawn.pixelColor(farEnd), QColor(192, 255, 255)) << name;
    }
    EXPECT_FALSE(dialog->windowFlags() & Qt::WindowCloseButtonHint);

    // Focus order: Text1, Text2, OK, Check1, Check2, Cancel, Check3, Help.
    QStringList order;
    QWidget* w = text1();
    for (int i = 0; i < 8; ++i, w = w->nextInFocusChain()) {
        while (w->focusPolicy() == Qt::NoFocus) {
            w = w->nextInFocusChain();
        }
        order << w->objectName();
    }
    EXPECT_EQ(order, QStringList({"Text1", "Text2", "Command1", "Check1", "Check2", "cmdCancel",
                                  "Check3", "cmdHelp"}));
}

TEST_F(FrmOptionTest, WithoutTheLibraryCompressionCannotBeChosen) {
    host.libraryPresent = false;
    settings.runpng = true;
    open();
    EXPECT_FALSE(child<QCheckBox>("Check3")->isEnabled());
    EXPECT_TRUE(child<QCheckBox>("Check3")->isChecked()) << "it still shows the loaded value";
}

TEST_F(FrmOptionTest, EstimateFollowsTheSizeAndTheCompressionBox) {
    settings.runpng = true;
    open();
    const std::vector<std::pair<QString, QString>> withPng = {
        {"1.5", "23"}, {"1", "15"},     {"10", "154"},    {"100", "1542"}, {"abc", "0"},
        {"", "0"},     {" 1 0", "154"}, {"12abc", "185"}, {"-1", "-16"},
    };
    for (const auto& [typed, count] : withPng) {
        text2()->setText(typed);
        EXPECT_EQ(estimate(), "(約" + count + "枚　写真が撮れます)") << typed.toStdString();
    }
    text2()->setText("100");
    child<QCheckBox>("Check3")->setChecked(false);
    EXPECT_EQ(estimate(), "(約301枚　写真が撮れます)") << "100 MB of 348054-byte pictures";
    EXPECT_EQ(text2()->text(), "100");

    EXPECT_EQ(FrmOption::estimateText(100, 2359350), "(約44枚　写真が撮れます)");
    EXPECT_EQ(FrmOption::estimateText(1, 2359350), "(約0枚　写真が撮れます)");
}

TEST_F(FrmOptionTest, FolderNamesGetExactlyOneSlash) {
    EXPECT_EQ(FrmOption::addroot("/pics"), "/pics/");
    EXPECT_EQ(FrmOption::addroot("/pics/"), "/pics/");
    EXPECT_EQ(FrmOption::addroot("/pics///"), "/pics/");
    EXPECT_EQ(FrmOption::addroot("/"), "/");
}

TEST_F(FrmOptionTest, StoredSizeIsWholeAndAtLeastOne) {
    const std::vector<std::pair<QString, int32_t>> cases = {
        {"abc", 1},
        {"", 1},
        {"0", 1},
        {"-3", 1},
        {"2.9", 2},
        {"12abc", 12},
        {"99999999999", 2147483647},
        {"2147483647.5", 2147483647},
    };
    for (const auto& [typed, stored] : cases) {
        EXPECT_EQ(FrmOption::storedSize(FrmOption::leadingNumber(typed)), stored)
            << typed.toStdString();
    }
}

TEST_F(FrmOptionTest, OkStoresWritesAndAdjustsTheMainWindow) {
    open();
    text1()->setText(settings.path + "//");
    text2()->setText("3.7");
    child<QCheckBox>("Check1")->setChecked(false);
    child<QCheckBox>("Check2")->setChecked(false);
    child<QCheckBox>("Check3")->setChecked(true);
    ok();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(settings.maxpathsize, 3);
    EXPECT_EQ(settings.path, fake.appFolder() + "/pics/");
    EXPECT_FALSE(settings.kcactive);
    EXPECT_FALSE(settings.stopiffull);
    EXPECT_TRUE(settings.runpng);
    EXPECT_FALSE(host.gaugeVisible);
    EXPECT_FALSE(host.pngMenuEnabled);
    EXPECT_TRUE(fake.ui.messages.empty());
    EXPECT_EQ(readFile(fake.iniPath()), "[init]\nmaxpathsize=3\npath=" + settings.path.toUtf8() +
                                            "\nkcactive=False\nstopiffull=False\nrunpng=True\n");
}

TEST_F(FrmOptionTest, OkWithoutCompressionAsksForTheLibraryAgain) {
    open();
    const int before = host.pngChecks;
    host.libraryPresent = false;
    ok();
    EXPECT_EQ(host.pngChecks, before + 1);
    EXPECT_FALSE(host.pngMenuEnabled);
    EXPECT_TRUE(host.gaugeVisible);
}

TEST_F(FrmOptionTest, MissingFolderIsCreatedOnlyWithConsent) {
    open();
    const QString folder = fake.appFolder() + "/new";
    text1()->setText(folder);

    fake.ui.answers = {platform::Answer::Cancel};
    ok();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, folder + "フォルダがありません\r\n\r\n" + folder +
                                            "フォルダを作ってもよろしいですか？");
    EXPECT_EQ(fake.ui.messages[0].buttons, platform::Buttons::OkCancel);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(QDir(folder).exists());
    EXPECT_FALSE(QFileInfo::exists(fake.iniPath()));
    EXPECT_EQ(settings.path, fake.appFolder() + "/pics/") << "nothing changes in memory";

    ok();  // answered OK this time
    EXPECT_TRUE(QDir(folder).exists());
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings.path, folder + "/");
    EXPECT_TRUE(readFile(fake.iniPath()).contains("path=" + folder.toUtf8() + "/\n"));
}

TEST_F(FrmOptionTest, RefusedFoldersKeepTheDialogOpenAndStoreNothing) {
    haveSettingsFile();
    const QByteArray fileBefore = readFile(fake.iniPath());
    const QString original = settings.path;
    writeFile(fake.appFolder() + "/afile", "x");
    open();

    struct Case {
        QString typed;
        QString message;
    };
    const std::vector<Case> cases = {
        {"", "画像を保存するフォルダを入力して下さい"},
        {fake.appFolder() + "/afile", fake.appFolder() + "/afile/フォルダがありません"},
        // The kernel refuses new folders here even for root: the access error keeps the dialog.
        {"/sys/koroncam-test",
         "/sys/koroncam-testフォルダが作れません。\r\nフォルダ名を変えて下さい"},
        {"/" + QString(300, 'x') + "/pics", "があるかどうか調べられません"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        fake.ui.messages.clear();
        text1()->setText(c.typed);
        ok();
        ASSERT_FALSE(fake.ui.messages.empty());
        EXPECT_TRUE(fake.ui.messages.back().text.contains(c.message))
            << fake.ui.messages.back().text.toStdString();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(fake.ui.ended());
        EXPECT_EQ(settings.path, original);
        EXPECT_EQ(readFile(fake.iniPath()), fileBefore);
    }
}

TEST_F(FrmOptionTest, MissingParentEndsTheProgramAfterTheMessage) {
    open();
    text1()->setText(fake.appFolder() + "/no/such");
    ok();  // the question is answered OK, then the creation fails
    ASSERT_EQ(fake.ui.messages.size(), 2u);
    EXPECT_EQ(fake.ui.messages[1].text,
              "エラー　番号 76\r\n異常が起きたので終了します。作者に連絡して下さい");
    EXPECT_TRUE(fake.ui.ended());
    EXPECT_FALSE(QFileInfo::exists(fake.iniPath()));
}

TEST_F(FrmOptionTest, CancelNeedsASettingsFile) {
    open();
    cancel();
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, "設定して下さい");
    EXPECT_TRUE(dialog->isVisible());
    QTest::keyClick(dialog.get(), Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible()) << "Esc is Cancel";

    haveSettingsFile();
    const QByteArray before = readFile(fake.iniPath());
    text1()->setText("/elsewhere");
    text2()->setText("9");
    cancel();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(readFile(fake.iniPath()), before);
    EXPECT_EQ(settings.path, fake.appFolder() + "/pics/");
    EXPECT_EQ(settings.maxpathsize, 5);
}

TEST_F(FrmOptionTest, DropsTakeTheFirstFileAndIgnorePlainText) {
    open();
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile("/data/one"), QUrl::fromLocalFile("/data/two"),
                   QUrl::fromLocalFile("/data/three")});
    dialog->text1_OLEDragDrop(files);
    EXPECT_EQ(text1()->text(), "/data/one");

    QMimeData text;
    text.setText("/typed/elsewhere");
    dialog->text1_OLEDragDrop(text);
    EXPECT_EQ(text1()->text(), "/data/one");
}

TEST_F(FrmOptionTest, EnterInTheBoxesPressesOkAndTypesNothing) {
    open();
    text1()->setText("");
    QTest::keyClick(text1(), Qt::Key_Return);
    ASSERT_EQ(fake.ui.messages.size(), 1u) << "OK was pressed and found the folder missing";
    EXPECT_EQ(fake.ui.messages[0].text, "画像を保存するフォルダを入力して下さい");
    EXPECT_TRUE(text1()->text().isEmpty());
    EXPECT_TRUE(dialog->isVisible());

    text1()->setText(settings.path);
    text2()->setText("7");
    QTest::keyClick(text2(), Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(text2()->text(), "7");
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(settings.maxpathsize, 7);
}

TEST_F(FrmOptionTest, HelpAsksForTheOptionsTopic) {
    open();
    child<QPushButton>("cmdHelp")->click();
    ASSERT_EQ(fake.help.requests.size(), 1u);
    EXPECT_EQ(fake.help.requests[0].file, "Koro03.hlp");
    EXPECT_EQ(fake.help.requests[0].command, platform::kHelpContext);
    EXPECT_EQ(fake.help.requests[0].data, 4u);
    EXPECT_EQ(fake.help.requests[0].caller, dialog.get());
}

TEST_F(FrmOptionTest, IntervalAndSkipSameAreShownCheckedAndStoredByOk) {
    settings.interval = 30;
    settings.skipsame = true;
    open();
    QLineEdit* text3 = child<QLineEdit>("Text3");
    EXPECT_EQ(text3->text(), "30");
    EXPECT_TRUE(child<QCheckBox>("Check4")->isChecked());
    for (const QString typed : {"", "0", "3601", "1.5", "-2", "2s", "１０x"}) {
        SCOPED_TRACE(typed.toStdString());
        fake.ui.messages.clear();
        text3->setText(typed);
        QTest::keyClick(text3, Qt::Key_Return);  // Enter presses OK here too
        ASSERT_EQ(fake.ui.messages.size(), 1u);
        EXPECT_EQ(fake.ui.messages[0].text, "撮影間隔には 1 から 3600 までの秒数を入力して下さい");
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_FALSE(QFileInfo::exists(fake.iniPath()));
        EXPECT_EQ(settings.interval, 30);
    }
    text3->setText(" ６０ ");  // full-width, as an input method types it
    child<QCheckBox>("Check4")->setChecked(false);
    ok();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(settings.interval, 60);
    EXPECT_FALSE(settings.skipsame);
    EXPECT_TRUE(readFile(fake.iniPath()).endsWith("runpng=False\n[extra]\ninterval=60\n"));
}
