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

class FailingHelp : public platform::Help {
public:
    void show(QWidget*, const QString&, unsigned, unsigned) override {
        throw platform::Error(QStringLiteral("ヘルプを開けませんでした"));
    }
};

TEST(HelpOpener, MenuAsksForTheContentsAndOptionsForTopicFour) {
    FakePlatform fake;
    QMainWindow main;
    QDialog options;

    about::openHelpContents(&main);
    about::openOptionsHelp(&options);

    ASSERT_EQ(fake.help.requests.size(), 2u);
    const auto& contents = fake.help.requests[0];
    EXPECT_EQ(contents.caller, &main);
    EXPECT_EQ(contents.file, QStringLiteral("Koro03.hlp"));
    EXPECT_EQ(contents.command, 11u);
    EXPECT_EQ(contents.data, 0u);
    const auto& topic = fake.help.requests[1];
    EXPECT_EQ(topic.caller, &options);
    EXPECT_EQ(topic.file, QStringLiteral("Koro03.hlp"));
    EXPECT_EQ(topic.command, 1u);
    EXPECT_EQ(topic.data, 4u);
    EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(HelpOpener, NoHelpFileIsReportedUnderTheCallersCurrentCaption) {
    FakePlatform fake;
    QDialog caller;
    caller.setWindowTitle(QStringLiteral("ころんカメラ 停止中"));
    caller.setWindowTitle(QStringLiteral("ころんカメラ 撮影中"));

    about::openHelp(&caller, QString(), platform::kHelpFinder, 0);

    EXPECT_TRUE(fake.help.requests.empty());
    ASSERT_EQ(fake.ui.messages.size(), 1u);
    const auto& message = fake.ui.messages[0];
    EXPECT_EQ(message.text, QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。 "
                                           "このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"));
    EXPECT_EQ(message.title, QStringLiteral("ころんカメラ 撮影中"));
    EXPECT_EQ(message.icon, platform::Icon::Information);
    EXPECT_EQ(message.buttons, platform::Buttons::Ok);
}

TEST(HelpOpener, AFailureWhileAskingIsShownWithItsDescription) {
    FakePlatform fake;
    FailingHelp failing;
    platform::Services services = platform::services();
    QDialog options;
    options.setWindowTitle(QStringLiteral("設定"));

    services.help = &failing;
    platform::use(services);
    EXPECT_NO_THROW(about::openOptionsHelp(&options));
    // A program without a viewer says so rather than crashing.
    services.help = nullptr;
    platform::use(services);
    EXPECT_NO_THROW(about::openHelpContents(&options));

    ASSERT_EQ(fake.ui.messages.size(), 2u);
    EXPECT_EQ(fake.ui.messages[0].text, QStringLiteral("ヘルプを開けませんでした"));
    for (const auto& message : fake.ui.messages) {
        EXPECT_EQ(message.icon, platform::Icon::None);
        EXPECT_EQ(message.buttons, platform::Buttons::Ok);
        EXPECT_EQ(message.title, platform::kAppTitle);
    }
}

}  // namespace
