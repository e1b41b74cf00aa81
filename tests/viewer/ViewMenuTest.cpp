// The menu item 見る: the one window it opens while shooting goes on.
#include "app/Form1Fixture.h"
#include "viewer/frmView.h"

namespace {

TEST_F(Form1Test, ViewMenuOpensOneWindowWhileShootingGoesOn) {
    writeSettings();
    start();
    action("mnuView")->trigger();
    frmView* view = form->findChild<frmView*>();
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(view->isVisible());
    EXPECT_FALSE(view->isModal());
    EXPECT_EQ(view->current(), -1);

    form->mnustart_Click();
    form->Timer1_Timer();
    view->followFolder();
    ASSERT_EQ(view->pictures().size(), 1u);
    EXPECT_EQ(view->pictures()[0].file, pictureFolder() + pictures().value(0));
    EXPECT_TRUE(form->shooting());

    // Closed and chosen again: the same window comes back.
    view->close();
    action("mnuView")->trigger();
    EXPECT_EQ(form->findChildren<frmView*>().size(), 1);
    EXPECT_TRUE(view->isVisible());
    EXPECT_TRUE(fake.ui.messages.empty());
}

}  // namespace
