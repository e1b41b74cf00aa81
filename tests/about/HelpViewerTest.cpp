// The help viewer over the program's real help file: contents, context topics, reuse of its
// window, a help file that is missing or unreadable, and help asked for from a modal dialog.
#include <gtest/gtest.h>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStringDecoder>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>

#include "about/HelpOpener.h"
#include "platform/qt/HelpViewer.h"
#include "support/FakePlatform.h"

namespace {

using platform::kHelpContext;
using platform::kHelpFinder;
using testing_support::FakePlatform;

// The help folder of the source tree, whose files the build puts beside the program.
QString helpFolder() {
    return QDir::cleanPath(QStringLiteral(KORONCAM_TEST_DATA "/../../help"));
}

// The text of the first line the viewer shows at its top.
QString topLine(QTextBrowser* browser) {
    return browser->cursorForPosition(QPoint(4, 4)).block().text().trimmed();
}

QStringList anchorNames(const QTextBlock& block) {
    QStringList names;
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        names += it.fragment().charFormat().anchorNames();
    }
    return names;
}

// Every anchor name and every in-document link of the document.
void collectAnchors(const QTextDocument& document, QStringList& names, QStringList& links) {
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        names += anchorNames(block);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QString href = it.fragment().charFormat().anchorHref();
            if (href.startsWith(QLatin1Char('#'))) {
                links += href.mid(1);
            }
        }
    }
}

// The plain text of the topic anchored `anchor`, up to the next topic.
QString topicText(const QTextDocument& document, const QString& anchor) {
    QString text;
    bool inside = false;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QStringList names = anchorNames(block);
        if (names.contains(anchor)) {
            inside = true;
        } else if (inside && !names.filter(QStringLiteral("context-")).isEmpty()) {
            break;
        }
        if (inside) {
            text += block.text() + QLatin1Char('\n');
        }
    }
    return text;
}

TEST(HelpViewer, FinderShowsTheContentsInOneRaisedWindow) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());

    viewer.show(nullptr, about::kHelpFile, kHelpFinder, 0);

    ASSERT_TRUE(fake.ui.messages.empty()) << fake.ui.lastMessage().toStdString();
    ASSERT_NE(viewer.window(), nullptr);
    EXPECT_TRUE(viewer.window()->isVisible());
    EXPECT_EQ(viewer.window()->windowTitle(), QStringLiteral("ころんカメラ ヘルプ"));
    EXPECT_EQ(viewer.browser()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(topLine(viewer.browser()), QStringLiteral("ころんカメラ ヘルプ"));
}

TEST(HelpViewer, ContextFourShowsTheOptionsDialogTopic) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());

    viewer.show(nullptr, about::kHelpFile, kHelpContext, about::kOptionsHelpContext);

    ASSERT_TRUE(fake.ui.messages.empty()) << fake.ui.lastMessage().toStdString();
    ASSERT_NE(viewer.browser(), nullptr);
    EXPECT_GT(viewer.browser()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(topLine(viewer.browser()), QStringLiteral("設定ダイアログ"));
}

TEST(HelpViewer, UnknownContextAndFinderGoBackToTheContents) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());
    for (const auto& [command, data] : {std::pair{kHelpContext, 99u}, {kHelpFinder, 0u}}) {
        SCOPED_TRACE(testing::Message() << command << "/" << data);
        viewer.show(nullptr, about::kHelpFile, kHelpContext, 4);
        ASSERT_GT(viewer.browser()->verticalScrollBar()->value(), 0);

        viewer.show(nullptr, about::kHelpFile, command, data);
        EXPECT_EQ(viewer.browser()->verticalScrollBar()->value(), 0);
        EXPECT_EQ(topLine(viewer.browser()), QStringLiteral("ころんカメラ ヘルプ"));
    }
    EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(HelpViewer, ReusesItsWindowAndShowsItAgainAfterItWasClosed) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());
    viewer.show(nullptr, about::kHelpFile, kHelpFinder, 0);
    QWidget* first = viewer.window();
    ASSERT_NE(first, nullptr);

    first->close();
    viewer.show(nullptr, about::kHelpFile, kHelpContext, 4);

    EXPECT_EQ(viewer.window(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(topLine(viewer.browser()), QStringLiteral("設定ダイアログ"));
}

TEST(HelpViewer, TheContentsButtonGoesBackToTheContents) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());
    viewer.show(nullptr, about::kHelpFile, kHelpContext, 4);
    auto* contents = viewer.window()->findChild<QWidget*>(QStringLiteral("cmdContents"));
    ASSERT_NE(contents, nullptr);

    QTest::mouseClick(contents, Qt::LeftButton);

    EXPECT_EQ(viewer.browser()->verticalScrollBar()->value(), 0);
}

TEST(HelpViewer, AMissingHelpFileIsReportedByName) {
    FakePlatform fake;
    platform::HelpViewer viewer(fake.appFolder());

    viewer.show(nullptr, about::kHelpFile, kHelpFinder, 0);

    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_TRUE(
        fake.ui.messages[0].text.contains(fake.appFolder() + QStringLiteral("/Koro03.hlp")));
    EXPECT_TRUE(fake.ui.messages[0].text.contains(QStringLiteral("見つかりません")));
    EXPECT_EQ(viewer.window(), nullptr);
}

TEST(HelpViewer, LooksInTheApplicationFolderWhenGivenNoFolder) {
    FakePlatform fake;
    testing_support::writeFile(fake.appFolder() + QStringLiteral("/Koro03.hlp"),
                               QByteArray("<html><body><h1><a name=\"contents\">目次</a></h1>"
                                          "</body></html>"));
    platform::HelpViewer viewer;

    viewer.show(nullptr, about::kHelpFile, kHelpFinder, 0);

    EXPECT_TRUE(fake.ui.messages.empty()) << fake.ui.lastMessage().toStdString();
    ASSERT_NE(viewer.browser(), nullptr);
    EXPECT_EQ(topLine(viewer.browser()), QStringLiteral("目次"));
}

TEST(HelpViewer, AnUnreadableHelpFileIsReportedByName) {
    FakePlatform fake;
    // A folder in the file's place cannot be read as a file, whoever runs the test.
    ASSERT_TRUE(QDir(fake.appFolder()).mkdir(QStringLiteral("Koro03.hlp")));
    platform::HelpViewer viewer(fake.appFolder());

    viewer.show(nullptr, about::kHelpFile, kHelpContext, 4);

    ASSERT_EQ(fake.ui.messages.size(), 1u);
    EXPECT_TRUE(
        fake.ui.messages[0].text.contains(fake.appFolder() + QStringLiteral("/Koro03.hlp")));
    EXPECT_TRUE(fake.ui.messages[0].text.contains(QStringLiteral("読み込めません")));
    EXPECT_EQ(viewer.window(), nullptr);
}

TEST(HelpViewer, StaysUsableWhileTheModalDialogThatAskedIsOpen) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());
    QDialog options;
    options.setWindowModality(Qt::ApplicationModal);
    options.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&options));

    viewer.show(&options, about::kHelpFile, kHelpFinder, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer.window()));

    // Click the contents' link to the options topic, as a user would.
    QTextBrowser* browser = viewer.browser();
    const QTextCursor link = browser->document()->find(QStringLiteral("設定ダイアログ"));
    ASSERT_FALSE(link.isNull());
    QTextCursor inside(link);
    inside.setPosition(link.selectionStart() + 2);
    const QPoint at =
        browser->viewport()->mapTo(viewer.window(), browser->cursorRect(inside).center());
    QSignalSpy clicked(browser, &QTextBrowser::anchorClicked);
    QTest::mouseClick(viewer.window()->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);

    EXPECT_EQ(clicked.count(), 1) << "the help window is blocked by the modal dialog";
    EXPECT_EQ(topLine(browser), QStringLiteral("設定ダイアログ"));
    options.close();
}

TEST(HelpFile, EveryLinkLeadsToATopicAndEveryTopicHasItsContextNumber) {
    QTextDocument document;
    QFile file(helpFolder() + QStringLiteral("/Koro03.hlp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_TRUE(bytes.contains("<meta charset=\"utf-8\">"));
    QStringDecoder utf8(QStringDecoder::Utf8);
    document.setHtml(utf8.decode(bytes));
    ASSERT_FALSE(utf8.hasError()) << "the help file is not valid UTF-8";

    QStringList names, links;
    collectAnchors(document, names, links);
    for (const QString& name :
         {QStringLiteral("contents"), QStringLiteral("context-1"), QStringLiteral("context-2"),
          QStringLiteral("context-3"), QStringLiteral("context-4"), QStringLiteral("context-5"),
          QStringLiteral("context-6")}) {
        EXPECT_TRUE(names.contains(name)) << name.toStdString();
    }
    EXPECT_FALSE(links.isEmpty());
    for (const QString& link : links) {
        EXPECT_TRUE(names.contains(link)) << "broken link #" << link.toStdString();
    }
}

TEST(HelpFile, TheOptionsTopicNamesEveryControlOfTheDialog) {
    QTextDocument document;
    QFile file(helpFolder() + QStringLiteral("/Koro03.hlp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    document.setHtml(QString::fromUtf8(file.readAll()));

    const QString topic = topicText(document, QStringLiteral("context-4"));
    ASSERT_FALSE(topic.isEmpty());
    for (const QString& caption :
         {QStringLiteral("画像を保存するフォルダ"), QStringLiteral("画像ファイルの最大容量"),
          QStringLiteral("メガバイト"), QStringLiteral("撮影中はぽすぺをアクティブにする"),
          QStringLiteral("フォルダが一杯になったら停止する"),
          QStringLiteral("圧縮しながら保存する"), QStringLiteral("OK"),
          QStringLiteral("キャンセル"), QStringLiteral("ヘルプ")}) {
        EXPECT_TRUE(topic.contains(caption)) << caption.toStdString();
    }
}

}  // namespace
