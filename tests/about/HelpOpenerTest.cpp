// Opening the help: the requests that reach the help viewer, and what the user is told when
// there is no help file or the viewer fails.
#include <gtest/gtest.h>
#include <QDialog>
#include <QMainWindow>

#include "about/HelpOpener.h"
#include "platform/Errors.h"
#include "support/FakePlatform.h"

namespace {

using testing_support::FakePlatform;

// A help viewer that fails as it is asked.
class FailingHelp : public platform::Help {
public:
    void show(QWidget*, const QString&, unsigned, unsigned) override {
        throw platform::Error(QStringLiteral("ヘルプを開けませんでした"));
    }
};

TEST(HelpOpener, MainWindowMenuAsksForTheContents) {
    FakePlatform fake;
    QMainWindow main;
    main.setWindowTitle(QStringLiteral("ころんカメラ 停止中"));

    about::openHelpContents(&main);

    ASSERT_EQ(fake.help.requests.size(), 1u);
    const auto& request = fake.help.requests[0];
    EXPECT_EQ(request.caller, &main);
    EXPECT_EQ(request.file, QStringLiteral("Koro03.hlp"));
    EXPECT_EQ(request.command, 11u);
    EXPECT_EQ(request.data, 0u);
    EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(HelpOpener, OptionsDialogAsksForContextTopicFour) {
    FakePlatform fake;
    QDialog options;
    options.setWindowTitle(QStringLiteral("設定"));

    about::openOptionsHelp(&options);

    ASSERT_EQ(fake.help.requests.size(), 1u);
    const auto& request = fake.help.requests[0];
    EXPECT_EQ(request.caller, &options);
    EXPECT_EQ(request.file, QStringLiteral("Koro03.hlp"));
    EXPECT_EQ(request.command, 1u);
    EXPECT_EQ(request.data, 4u);
    EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(HelpOpener, NoHelpFileIsReportedUnderTheCallersCurrentCaption) {
    const QString expected = QStringLiteral(
        "ﾍﾙﾌﾟの目次を表示できません。 このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。");
    for (const QString& caption : {QStringLiteral("設定"), QStringLiteral("ころんカメラ 撮影中")}) {
        SCOPED_TRACE(caption.toStdString());
        FakePlatform fake;
        QDialog caller;
        caller.setWindowTitle(QStringLiteral("古い題名"));
        caller.setWindowTitle(caption);

        about::openHelp(&caller, QString(), platform::kHelpContext, 4);

        EXPECT_TRUE(fake.help.requests.empty());
        ASSERT_EQ(fake.ui.messages.size(), 1u);
        EXPECT_EQ(fake.ui.messages[0].text, expected);
        EXPECT_EQ(fake.ui.messages[0].title, caption);
        EXPECT_EQ(fake.ui.messages[0].icon, platform::Icon::Information);
        EXPECT_EQ(fake.ui.messages[0].buttons, platform::Buttons::Ok);
    }
}

TEST(HelpOpener, AnErrorOfTheViewerIsShownWithItsDescription) {
    FakePlatform fake;
    FailingHelp failing;
    platform::Services services = platform::services();
    services.help = &failing;
    platform::use(services);
    QDialog caller;
    caller.setWindowTitle(QStringLiteral("設定"));

    EXPECT_NO_THROW(about::openOptionsHelp(&caller));

    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].text, QStringLiteral("ヘルプを開けませんでした"));
    EXPECT_EQ(fake.ui.messages[0].icon, platform::Icon::None);
    EXPECT_EQ(fake.ui.messages[0].buttons, platform::Buttons::Ok);
    EXPECT_EQ(fake.ui.messages[0].title, platform::kAppTitle);
}

TEST(HelpOpener, AMissingViewerIsReportedNotDereferenced) {
    FakePlatform fake;
    platform::Services services = platform::services();
    services.help = nullptr;
    platform::use(services);

    about::openHelpContents(nullptr);

    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_EQ(fake.ui.messages[0].title, platform::kAppTitle);
}

}  // namespace
