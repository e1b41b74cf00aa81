// The about window: its texts, its controls, its keys, and that every opening builds it anew.
#include <gtest/gtest.h>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "about/ProgramIcon.h"
#include "about/frmAbout.h"
#include "support/FakePlatform.h"

namespace {

QString textOf(QWidget& window, const char* name) {
    auto* label = window.findChild<QLabel*>(QString::fromLatin1(name));
    return label != nullptr ? label->text() : QStringLiteral("<no %1>").arg(QLatin1String(name));
}

TEST(VersionLine, WritesPlainDecimalsAfterHalfWidthWord) {
    EXPECT_EQ(about::versionLine(0, 3, 0), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 0.3.0"));
    EXPECT_EQ(about::versionLine(1, 10, 2), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.10.2"));
}

TEST(AboutWindow, ShowsTitleVersionAndContact) {
    testing_support::FakePlatform fake;
    frmAbout form;

    EXPECT_EQ(form.objectName(), QStringLiteral("frmAbout"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("ころんカメラのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(textOf(form, "lblTitle"), QStringLiteral("ころんカメラ"));
    EXPECT_EQ(textOf(form, "lblVersion"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 0.3.0"));

    // One line of invitation, one empty line, the address.
    const QStringList lines = textOf(form, "lblDescription").split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_FALSE(lines[0].isEmpty());
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_EQ(lines[2], about::kContactAddress);

    auto* ok = form.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
}

TEST(AboutWindow, ShowsTheProgramIconAt32Pixels) {
    testing_support::FakePlatform fake;
    frmAbout form;
    auto* icon = form.findChild<QLabel*>(QStringLiteral("picIcon"));
    ASSERT_NE(icon, nullptr);
    const QPixmap shown = icon->pixmap();
    EXPECT_EQ(shown.size(), QSize(32, 32));
    EXPECT_EQ(shown.toImage(), about::programIconPixmap(32).toImage());
    EXPECT_FALSE(form.windowIcon().isNull());
}

TEST(AboutWindow, HasAFixedFrameWithoutMinimiseOrMaximise) {
    testing_support::FakePlatform fake;
    frmAbout form;
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.windowType(), Qt::Dialog);

    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    form.close();
}

// Opens the about window the way the main window does, presses `key` on it, and reports
// whether the OK button was pressed and the window closed.
void pressKeyOnOpenedAbout(Qt::Key key) {
    testing_support::FakePlatform fake;
    int openings = 0;
    fake.ui.onShowModal = [&](QDialog& dialog) {
        ++openings;
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"));
        EXPECT_NE(ok, nullptr);
        QSignalSpy pressed(ok, &QPushButton::clicked);
        QTest::keyClick(&dialog, key);
        EXPECT_EQ(pressed.count(), 1) << "the key did not press OK";
        EXPECT_FALSE(dialog.isVisible()) << "the key did not close the window";
        return dialog.result();
    };
    about::openAbout();
    EXPECT_EQ(openings, 1);
}

TEST(AboutWindow, EnterPressesOkAndCloses) {
    pressKeyOnOpenedAbout(Qt::Key_Return);
}

TEST(AboutWindow, EscPressesOkAndCloses) {
    pressKeyOnOpenedAbout(Qt::Key_Escape);
}

TEST(AboutWindow, EveryOpeningBuildsANewWindowWithTheSameContents) {
    testing_support::FakePlatform fake;
    std::vector<QPointer<QDialog>> opened;
    std::vector<QStringList> contents;
    fake.ui.onShowModal = [&](QDialog& dialog) {
        EXPECT_EQ(dialog.parent(), nullptr) << "the about window has no owner";
        opened.emplace_back(&dialog);
        contents.push_back({dialog.windowTitle(), textOf(dialog, "lblTitle"),
                            textOf(dialog, "lblVersion"), textOf(dialog, "lblDescription")});
        // Spoil this window: a reused one would show it at the next opening.
        dialog.findChild<QLabel*>(QStringLiteral("lblVersion"))->setText(QStringLiteral("x"));
        dialog.setWindowTitle(QStringLiteral("x"));
        return int(QDialog::Accepted);
    };

    about::openAbout();
    EXPECT_TRUE(opened.at(0).isNull()) << "the closed window was not destroyed";
    about::openAbout();

    ASSERT_EQ(contents.size(), 2u);
    EXPECT_TRUE(opened.at(1).isNull());
    EXPECT_EQ(contents[0], contents[1]);
    EXPECT_EQ(contents[1].at(2), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 0.3.0"));
}

TEST(ProgramIcon, HasThreeSizesEachDrawnWithTransparentCorners) {
    const QIcon icon = about::programIcon();
    for (const int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(size, size).toImage();
        ASSERT_EQ(image.size(), QSize(size, size));
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size - 1, size - 1)), 0);
        // The lens sits in the middle of the body.
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size * 28 / 48)), 255);
    }
}

}  // namespace
