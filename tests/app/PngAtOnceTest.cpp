// PNG at once: the picture goes from memory into its PNG; where the library cannot do that (an
// older copy), the way through the BMP file gives the very same file.
#include "app/Form1Fixture.h"

#include "pngsaver.h"

using testing_support::readFile;

class PngAtOnceTest : public Form1Test {
protected:
    void SetUp() override {
        writeSettings("kcactive=False\nstopiffull=True\nrunpng=True\n");
        start();
        form->cmdStart_Click();
    }
    // Stores one picture and gives its PNG file's bytes.
    QByteArray shoot() {
        fake.png.calls.clear();
        form->Timer1_Timer();
        const QStringList stored = pictures();
        EXPECT_EQ(stored.size(), 1);
        const QByteArray png =
            stored.isEmpty() ? QByteArray() : readFile(pictureFolder() + stored[0]);
        QFile::remove(pictureFolder() + stored.value(0));
        return png;
    }
};

TEST_F(PngAtOnceTest, LibraryWithoutThePixelEntryTakesTheBmpWayToTheSameFile) {
    const QByteArray fromMemory = shoot();
    ASSERT_EQ(fake.png.calls.size(), 1u);
    EXPECT_TRUE(fake.png.calls[0].bmp.isEmpty()) << "the picture went through a BMP file";

    fake.png.beforeCall = [this] {
        fake.png.failWith = fake.png.calls.size() == 1 ? PNGSAVER_ERR_NO_LIBRARY : 0;
    };
    const QByteArray fromBmp = shoot();
    ASSERT_EQ(fake.png.calls.size(), 2u);
    EXPECT_FALSE(fake.png.calls[1].bmp.isEmpty());
    EXPECT_FALSE(fromMemory.isEmpty());
    EXPECT_EQ(fromBmp, fromMemory);
    EXPECT_TRUE(fake.ui.messages.empty());
}
