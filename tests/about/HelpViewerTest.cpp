// The help viewer over the program's real help file: contents and context topics, reuse of its
// window, a missing or unreadable file, and help asked for from a modal dialog.
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

#include "about/HelpOpener.h"
#include "platform/qt/HelpViewer.h"
#include "support/FakePlatform.h"

namespace {

using platform::kHelpContext;
using platform::kHelpFinder;
using testing_support::FakePlatform;

const QString kContentsTitle = QStringLiteral("ころんカメラ ヘルプ");
const QString kOptionsTitle = QStringLiteral("設定ダイアログ");

// The source tree's help folder, whose files the build puts beside the program.
QString helpFolder() {
    return QDir::cleanPath(QStringLiteral(KORONCAM_TEST_DATA "/../../help"));
}

// The first line the viewer shows at its top.
std::string topLine(QTextBrowser* browser) {
    return browser->cursorForPosition(QPoint(4, 4)).block().text().trimmed().toStdString();
}

// Clicks the first link that reads `text`, through the window system as a user's click comes.
void clickLink(QWidget* window, QTextBrowser* browser, const QString& text) {
    const QTextCursor found = browser->document()->find(text);
    ASSERT_FALSE(found.isNull());
    QTextCursor inside(browser->document());
    inside.setPosition(found.selectionStart() + 1);
    const QPoint at = browser->viewport()->mapTo(window, browser->cursorRect(inside).center());
    QTest::mouseClick(window->windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
}

TEST(HelpViewer, ShowsTheContentsOrTheTopicOfAContextNumberInOneWindow) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());

    viewer.show(nullptr, about::kHelpFile, kHelpContext, about::kOptionsHelpContext);
    ASSERT_NE(viewer.window(), nullptr) << fake.ui.lastMessage().toStdString();
    QWidget* window = viewer.window();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle(), kContentsTitle);
    EXPECT_EQ(topLine(viewer.browser()), kOptionsTitle.toStdString());

    window->close();
    viewer.show(nullptr, about::kHelpFile, kHelpFinder, 0);
    EXPECT_EQ(viewer.window(), window) << "the window is not reused";
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(viewer.browser()->verticalScrollBar()->value(), 0);
    EXPECT_EQ(topLine(viewer.browser()), kContentsTitle.toStdString());

    viewer.show(nullptr, about::kHelpFile, kHelpContext, 99);  // no such topic
    EXPECT_EQ(topLine(viewer.browser()), kContentsTitle.toStdString());

    viewer.show(nullptr, about::kHelpFile, kHelpContext, 4);
    QTest::mouseClick(window->findChild<QWidget*>(QStringLiteral("cmdContents")), Qt::LeftButton);
    EXPECT_EQ(topLine(viewer.browser()), kContentsTitle.toStdString());
    EXPECT_TRUE(fake.ui.messages.empty());
}

TEST(HelpViewer, LooksBesideTheProgramWhenGivenNoFolder) {
    FakePlatform fake;
    testing_support::writeFile(fake.appFolder() + QStringLiteral("/Koro03.hlp"),
                               "<html><body><h1>目次</h1></body></html>");
    platform::HelpViewer viewer;

    viewer.show(nullptr, about::kHelpFile, kHelpFinder, 0);

    ASSERT_NE(viewer.browser(), nullptr) << fake.ui.lastMessage().toStdString();
    EXPECT_EQ(topLine(viewer.browser()), "目次");
}

TEST(HelpViewer, AMissingOrUnreadableFileIsReportedByName) {
    FakePlatform fake;
    const QString path = fake.appFolder() + QStringLiteral("/Koro03.hlp");
    platform::HelpViewer viewer(fake.appFolder());

    viewer.show(nullptr, about::kHelpFile, kHelpFinder, 0);
    // A folder in the file's place cannot be read, whoever runs the test.
    ASSERT_TRUE(QDir().mkdir(path));
    viewer.show(nullptr, about::kHelpFile, kHelpContext, 4);

    ASSERT_EQ(fake.ui.messages.size(), 2u);
    EXPECT_TRUE(fake.ui.messages[0].text.contains(path + QStringLiteral(" が見つかりません")));
    EXPECT_TRUE(fake.ui.messages[1].text.contains(path + QStringLiteral(" を読み込めません")));
    EXPECT_EQ(viewer.window(), nullptr);
}

TEST(HelpViewer, StaysUsableWhileTheModalDialogThatAskedIsOpenAndAfter) {
    FakePlatform fake;
    platform::HelpViewer viewer(helpFolder());
    auto* options = new QDialog;
    options->setWindowModality(Qt::ApplicationModal);
    options->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(options));

    viewer.show(options, about::kHelpFile, kHelpFinder, 0);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer.window()));
    QSignalSpy clicked(viewer.browser(), &QTextBrowser::anchorClicked);
    clickLink(viewer.window(), viewer.browser(), kOptionsTitle);
    EXPECT_EQ(clicked.count(), 1) << "the modal dialog blocks the help window";
    EXPECT_EQ(topLine(viewer.browser()), kOptionsTitle.toStdString());

    delete options;
    auto* contents = viewer.window()->findChild<QWidget*>(QStringLiteral("cmdContents"));
    QTest::mouseClick(viewer.window()->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      contents->mapTo(viewer.window(), contents->rect().center()));
    EXPECT_EQ(topLine(viewer.browser()), kContentsTitle.toStdString());
}

TEST(HelpFile, IsUtf8AndEveryLinkLeadsToAnAnchorAndTopicFourIsTheOptionsDialog) {
    QFile file(helpFolder() + QStringLiteral("/Koro03.hlp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("<meta charset=\"utf-8\">"));
    QStringDecoder utf8(QStringDecoder::Utf8);
    QTextDocument document;
    document.setHtml(utf8.decode(bytes));
    EXPECT_FALSE(utf8.hasError());

    QStringList names, links;
    QString optionsTopic;  // the blocks from anchor context-4 to the next topic
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QStringList here;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            here += it.fragment().charFormat().anchorNames();
            if (const QString href = it.fragment().charFormat().anchorHref();
                href.startsWith('#')) {
                links += href.mid(1);
            }
        }
        names += here;
        if (const QStringList topics = names.filter(QStringLiteral("context-"));
            !topics.isEmpty() && topics.last() == QStringLiteral("context-4")) {
            optionsTopic += block.text() + QLatin1Char('\n');
        }
    }
    EXPECT_TRUE(names.contains(QStringLiteral("contents")));
    EXPECT_FALSE(links.isEmpty());
    for (const QString& link : links) {
        EXPECT_TRUE(names.contains(link)) << "broken link #" << link.toStdString();
    }
    for (const char* caption :
         {"設定ダイアログ", "画像を保存するフォルダ", "画像ファイルの最大容量", "メガバイト",
          "撮影中はぽすぺをアクティブにする", "フォルダが一杯になったら停止する",
          "圧縮しながら保存する", "OK", "キャンセル", "ヘルプ"}) {
        EXPECT_TRUE(optionsTopic.contains(QString::fromUtf8(caption))) << caption;
    }
}

}  // namespace
