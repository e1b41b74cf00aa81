// The about window: its texts and controls, its keys, and a new window at every opening.
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
    return label != nullptr ? label->text() : QStringLiteral("<missing>");
}

TEST(AboutWindow, VersionLineHasPlainDecimals) {
    EXPECT_EQ(about::versionLine(0, 3, 0), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 0.3.0"));
    EXPECT_EQ(about::versionLine(1, 10, 2), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 1.10.2"));
}

TEST(AboutWindow, OpensWithTitleVersionContactAndIcon) {
    testing_support::FakePlatform fake;
    frmAbout form;

    EXPECT_EQ(form.windowTitle(), QStringLiteral("ころんカメラのﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_EQ(textOf(form, "lblTitle"), QStringLiteral("ころんカメラ"));
    EXPECT_EQ(textOf(form, "lblVersion"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ 0.3.0"));
    // One line of invitation, one empty line, the address.
    const QStringList lines = textOf(form, "lblDescription").split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_FALSE(lines[0].isEmpty());
    EXPECT_TRUE(lines[1].isEmpty());
    EXPECT_EQ(lines[2], about::kContactAddress);

    auto* icon = form.findChild<QLabel*>(QStringLiteral("picIcon"));
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().toImage(), about::programIconPixmap(32).toImage());
    auto* ok = form.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
}

TEST(AboutWindow, HasAFixedFrameWithoutMinimiseOrMaximise) {
    testing_support::FakePlatform fake;
    frmAbout form;
    EXPECT_EQ(form.windowType(), Qt::Dialog);
    EXPECT_FALSE(form.windowFlags() &
                 (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
}

TEST(AboutWindow, EnterAndEscPressOkAndClose) {
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        SCOPED_TRACE(key);
        testing_support::FakePlatform fake;
        int openings = 0;
        fake.ui.onShowModal = [&](QDialog& dialog) {
            ++openings;
            dialog.show();
            EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
            QSignalSpy pressed(dialog.findChild<QPushButton*>(QStringLiteral("cmdOK")),
                               &QPushButton::clicked);
            QTest::keyClick(&dialog, key);
            EXPECT_EQ(pressed.count(), 1) << "the key did not press OK";
            EXPECT_FALSE(dialog.isVisible()) << "the key did not close the window";
            return dialog.result();
        };
        about::openAbout();
        EXPECT_EQ(openings, 1);
    }
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
    EXPECT_EQ(contents[0], contents[1]);
}

TEST(ProgramIcon, HasThreeSizesEachACameraOnATransparentGround) {
    const QIcon icon = about::programIcon();
    for (const int size : {16, 32, 48}) {
        SCOPED_TRACE(size);
        EXPECT_TRUE(icon.availableSizes().contains(QSize(size, size)));
        const QImage image = icon.pixmap(size, size).toImage();
        EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0);
        EXPECT_EQ(qAlpha(image.pixel(size / 2, size * 28 / 48)), 255);  // the lens
    }
}

}  // namespace
