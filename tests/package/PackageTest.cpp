// The Debian package: what it installs, what it depends on, and what the desktop's and Debian's
// own checkers say of it.

#include <gtest/gtest.h>
#include <iostream>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include "Package.h"
#include "about/ProgramIcon.h"

namespace {

using package::run;

const QString kId = QStringLiteral("example.koroncam.KoronCam");
const QList<int> kIconSizes = {16, 22, 24, 32, 48, 64, 128, 256};

QString text(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// The package unpacked once for all tests of the suite.
class PackageTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        deb = new QString(package::debPath());
        tree = new QTemporaryDir;
        if (!deb->isEmpty()) {
            unpacked = run("dpkg-deb", {"-x", *deb, tree->path()}).exitCode == 0;
        }
    }
    static void TearDownTestSuite() {
        delete tree;
        delete deb;
    }
    void SetUp() override { ASSERT_TRUE(unpacked) << "the package could not be unpacked"; }

    static QString installed(const QString& path) { return tree->path() + "/usr/" + path; }
    static QString field(const QString& name) {
        return run("dpkg-deb", {"--field", *deb, name}).output.trimmed();
    }

    static inline QString* deb = nullptr;
    static inline QTemporaryDir* tree = nullptr;
    static inline bool unpacked = false;
};

TEST_F(PackageTest, HoldsTheProgramFolderTheCommandTheMenuEntryAndNothingElse) {
    const package::Result listing = run("dpkg-deb", {"--contents", *deb});
    ASSERT_EQ(listing.exitCode, 0) << listing.output.toStdString();
    // "-rwxr-xr-x root/root 260016 2026-12-09 01:28 ./usr/lib/koroncam/KoronCam"
    const QRegularExpression line(R"(^(\S+) (\S+) +\d+ \S+ \S+ \./(.*)$)");
    QStringList files;
    for (const QString& entry : listing.output.split('\n', Qt::SkipEmptyParts)) {
        const QRegularExpressionMatch m = line.match(entry);
        ASSERT_TRUE(m.hasMatch()) << entry.toStdString();
        EXPECT_EQ(m.captured(2), "root/root") << entry.toStdString();
        const QString mode = m.captured(1);
        if (mode.startsWith('d')) {
            continue;
        }
        const bool executable = mode == "-rwxr-xr-x";
        EXPECT_TRUE(executable || mode == "-rw-r--r--" || mode.startsWith('l'))
            << entry.toStdString();
        files << m.captured(3) + (executable ? " (executable)" : "");
    }
    QStringList expected = {
        "usr/bin/koroncam -> ../lib/koroncam/KoronCam",
        "usr/lib/koroncam/KoronCam (executable)",
        "usr/lib/koroncam/Koro03.hlp",
        "usr/lib/koroncam/libpngsaver.so",
        "usr/share/applications/" + kId + ".desktop",
        "usr/share/doc/koroncam/changelog.gz",
        "usr/share/doc/koroncam/copyright",
        "usr/share/man/man1/koroncam.1.gz",
        "usr/share/metainfo/" + kId + ".metainfo.xml",
    };
    for (const int size : kIconSizes) {
        expected << QStringLiteral("usr/share/icons/hicolor/%1x%1/apps/koroncam.png").arg(size);
    }
    files.sort();
    expected.sort();
    EXPECT_EQ(files.join('\n').toStdString(), expected.join('\n').toStdString());
}

TEST_F(PackageTest, DependsOnRuntimePackagesOnlyAndAFontAndRecommendsThePortal) {
    const QString depends = field("Depends");
    QStringList names;
    for (const QString& alternative : depends.split(QRegularExpression("[,|]"))) {
        names << alternative.trimmed().section(' ', 0, 0);
    }
    for (const char* needed : {"libqt6core6", "libqt6gui6", "libqt6widgets6", "qt6-qpa-plugins",
                               "libdeflate0", "libx11-6", "libxext6", "libc6"}) {
        EXPECT_TRUE(names.contains(needed)) << needed << " missing from: " << depends.toStdString();
    }
    for (const QString& name : names) {
        EXPECT_FALSE(name.endsWith("-dev")) << name.toStdString();
        EXPECT_FALSE(name.startsWith("libasan") || name.startsWith("libubsan"))
            << "a build with the sanitizers was packaged: " << name.toStdString();
    }
    // A Japanese font is needed, not only recommended: without one every text is boxes.
    EXPECT_TRUE(depends.contains(", fonts-noto-cjk | fonts-ipafont-gothic | "
                                 "fonts-ipaexfont-gothic | fonts-vlgothic"))
        << depends.toStdString();
    EXPECT_EQ(field("Recommends"), "xdg-desktop-portal, pipewire");
}

TEST_F(PackageTest, MenuEntryPassesItsCheckerAndNamesTheCommandAndTheIcon) {
    const QString desktop = installed("share/applications/" + kId + ".desktop");
    const package::Result check = run("desktop-file-validate", {desktop});
    EXPECT_EQ(check.exitCode, 0);
    EXPECT_EQ(check.output.toStdString(), "") << "not even a hint";
    const QString entry = text(desktop);
    for (const char* line : {"Name=KoronCam\n", "Name[ja]=ころんカメラ\n", "Exec=koroncam\n",
                             "Icon=koroncam\n", "Type=Application\n"}) {
        EXPECT_TRUE(entry.contains(QString::fromUtf8(line))) << line;
    }
    EXPECT_TRUE(QFileInfo(installed("bin/koroncam")).isExecutable());
}

TEST_F(PackageTest, SoftwareCentrePagePassesItsCheckerWithTheReleaseAndTheLicence) {
    const QString metainfo = installed("share/metainfo/" + kId + ".metainfo.xml");
    const package::Result check = run("appstreamcli", {"validate", "--no-net", metainfo});
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_FALSE(
        check.output.contains(QRegularExpression("^[EW]: ", QRegularExpression::MultilineOption)))
        << check.output.toStdString();
    const QString page = text(metainfo);
    EXPECT_TRUE(page.contains("<release version=\"0.3.0\"")) << "the release of the about window";
    EXPECT_TRUE(page.contains("<project_license>MIT</project_license>"));
    EXPECT_TRUE(page.contains("<launchable type=\"desktop-id\">" + kId + ".desktop</launchable>"));
}

TEST_F(PackageTest, IconFilesAreTheIconTheWindowsShow) {
    for (const int size : kIconSizes) {
        const QString file =
            installed(QStringLiteral("share/icons/hicolor/%1x%1/apps/koroncam.png").arg(size));
        const QImage icon(file);
        ASSERT_FALSE(icon.isNull()) << file.toStdString();
        EXPECT_EQ(icon.convertToFormat(QImage::Format_ARGB32),
                  about::programIconImage(size).convertToFormat(QImage::Format_ARGB32))
            << size;
    }
}

TEST_F(PackageTest, CopyrightFileHoldsTheLicence) {
    const QString copyright = text(installed("share/doc/koroncam/copyright"));
    const QStringList licence =
        text(QStringLiteral(KORONCAM_SOURCE_DIR "/LICENSE")).trimmed().split('\n');
    ASSERT_TRUE(licence.front().startsWith("MIT License"));
    QString indented = "License: Expat\n";
    for (const QString& line : licence) {
        indented += line.isEmpty() ? " .\n" : " " + line + "\n";
    }
    EXPECT_TRUE(copyright.endsWith(indented)) << copyright.toStdString();
}

TEST_F(PackageTest, LintianFindsNoError) {
    const package::Result check =
        run("lintian", {"--fail-on", "error", "--tag-display-limit", "0", *deb});
    EXPECT_EQ(check.exitCode, 0) << check.output.toStdString();
    EXPECT_FALSE(
        check.output.contains(QRegularExpression("^E: ", QRegularExpression::MultilineOption)))
        << check.output.toStdString();
    std::cout << check.output.toStdString();  // its warnings, for the reader of the test log
}

}  // namespace
