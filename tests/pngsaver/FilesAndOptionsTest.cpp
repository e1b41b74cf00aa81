// Options, missing and unwritable places: the right code, the BMP untouched, no PNG left half done.
#include <cerrno>
#include <cstring>

#include <sys/mount.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "Pictures.h"
#include "pngsaver.h"

namespace pngsaver_test {
namespace {

class Files : public testing::Test {
protected:
    void SetUp() override {
        bmpBytes = makeBmp(picture);
        writeFile(bmp, bmpBytes);
    }
    int16_t convertTo(const std::string& pngPath) {
        return BmpToPng(bmp.c_str(), pngPath.c_str(), "c6");
    }

    TempFolder folder;
    const Picture picture = makePicture(386, 300, 5);
    const std::string bmp = folder.file("kcPic2024-01-02-03-04-05.bmp");
    const std::string png = folder.file("kcPic2024-01-02-03-04-05.png");
    std::vector<uint8_t> bmpBytes;
};

TEST_F(Files, OptionsOtherThanALevelAreRejected) {
    for (const char* options :
         {"", "c", "c13", "c99", "x6", "c6x", "c-1", "C6", " c6", "c06", "c+6", "c1 "}) {
        EXPECT_EQ(BmpToPng(bmp.c_str(), png.c_str(), options), PNGSAVER_ERR_BAD_OPTIONS)
            << '"' << options << '"';
    }
    EXPECT_EQ(BmpToPng(bmp.c_str(), png.c_str(), nullptr), PNGSAVER_ERR_BAD_OPTIONS);
    EXPECT_EQ(BmpToPng(nullptr, png.c_str(), "c6"), PNGSAVER_ERR_BAD_OPTIONS);
    EXPECT_EQ(BmpToPng(bmp.c_str(), nullptr, "c6"), PNGSAVER_ERR_BAD_OPTIONS);
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(Files, MissingOrUnreadableBmp) {
    EXPECT_EQ(BmpToPng(folder.file("none.bmp").c_str(), png.c_str(), "c6"), PNGSAVER_ERR_READ_BMP);
    std::filesystem::create_directory(folder.file("dir.bmp"));
    EXPECT_EQ(BmpToPng(folder.file("dir.bmp").c_str(), png.c_str(), "c6"), PNGSAVER_ERR_READ_BMP);
    EXPECT_FALSE(std::filesystem::exists(png));
}

TEST_F(Files, SuccessLeavesTheBmpAndThePngOnly) {
    ASSERT_EQ(convertTo(png), PNGSAVER_OK);
    EXPECT_EQ(decodePng(png), picture);
    EXPECT_EQ(readFile(bmp), bmpBytes);
    EXPECT_EQ(folder.names(), (std::vector<std::string>{"kcPic2024-01-02-03-04-05.bmp",
                                                        "kcPic2024-01-02-03-04-05.png"}));
}

TEST_F(Files, ThePngGetsTheUsualPermissions) {
    const mode_t old = umask(022);
    const int16_t result = convertTo(png);
    umask(old);
    ASSERT_EQ(result, PNGSAVER_OK);
    struct stat info {};
    ASSERT_EQ(stat(png.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST_F(Files, AnExistingPngIsReplacedOnlyOnSuccess) {
    writeFile(png, {1, 2, 3});
    writeFile(folder.file("bad.bmp"), {'B', 'M', 0});
    EXPECT_EQ(BmpToPng(folder.file("bad.bmp").c_str(), png.c_str(), "c6"), PNGSAVER_ERR_BAD_BMP);
    EXPECT_EQ(readFile(png), (std::vector<uint8_t>{1, 2, 3}));

    ASSERT_EQ(convertTo(png), PNGSAVER_OK);
    EXPECT_EQ(decodePng(png), picture);
}

TEST_F(Files, MissingFolderLeavesNothing) {
    EXPECT_EQ(convertTo(folder.file("gone/out.png")), PNGSAVER_ERR_WRITE_PNG);
    EXPECT_EQ(folder.names(), std::vector<std::string>{"kcPic2024-01-02-03-04-05.bmp"});
    EXPECT_EQ(readFile(bmp), bmpBytes);
}

TEST_F(Files, APngPathThatIsAFolderLeavesNoTemporaryFile) {
    std::filesystem::create_directory(png);
    EXPECT_EQ(convertTo(png), PNGSAVER_ERR_WRITE_PNG);
    EXPECT_TRUE(std::filesystem::is_directory(png));
    EXPECT_EQ(folder.names().size(), 2u);
}

TEST_F(Files, WritingOverTheBmpItselfIsRefused) {
    EXPECT_EQ(convertTo(bmp), PNGSAVER_ERR_WRITE_PNG);
    EXPECT_EQ(readFile(bmp), bmpBytes);
}

// A full disk: a tiny tmpfs. Mounting needs root (or CAP_SYS_ADMIN); elsewhere the test skips.
TEST_F(Files, FullDiskKeepsTheOldPngAndLeavesNoTemporaryFile) {
    const std::string disk = folder.file("disk");
    std::filesystem::create_directory(disk);
    if (mount("tmpfs", disk.c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "cannot mount a small tmpfs here (needs root): " << strerror(errno);
    }
    struct Unmount {
        std::string path;
        ~Unmount() { EXPECT_EQ(umount(path.c_str()), 0) << strerror(errno); }
    } unmount{disk};

    const std::string target = disk + "/kcPic.png";
    writeFile(target, {9, 9, 9});
    writeFile(bmp, makeBmp(makePicture(1000, 300, 9)));  // its noise needs more than 64 KiB
    EXPECT_EQ(convertTo(target), PNGSAVER_ERR_WRITE_PNG);
    EXPECT_EQ(readFile(target), (std::vector<uint8_t>{9, 9, 9}));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(disk),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace pngsaver_test
