// The settings file as one unit: which keys each save touches, and which bad value load names.

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "settings/SettingsFile.h"
#include "support/FakePlatform.h"

namespace {

using testing_support::readFile;
using testing_support::writeFile;

TEST(SettingsFile, LoadGivesDefaultsAndNamesTheFirstBadValueInReadingOrder) {
    testing_support::FakePlatform fake;
    const Settings loaded = settings::load("/pictures");
    EXPECT_EQ(loaded.maxpathsize, 2);
    EXPECT_EQ(loaded.path, "/pictures");
    EXPECT_TRUE(loaded.stopiffull && loaded.kcactive);
    EXPECT_FALSE(loaded.runpng || loaded.formmin);

    writeFile(fake.iniPath(), "[init]\nformmin=sometimes\nkcactive=yes\nmaxpathsize=12\n");
    try {
        settings::load("/pictures");
        ADD_FAILURE() << "bad values were read";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().contains("kcactive")) << e.what();
        EXPECT_TRUE(e.message().contains("yes")) << e.what();
    }
}

TEST(SettingsFile, EachSaveWritesOnlyItsOwnKeysAndALoadReadsThemBack) {
    testing_support::FakePlatform fake;
    writeFile(fake.iniPath(), "[init]\nformmin=True\n");
    Settings s;
    s.maxpathsize = 40;
    s.path = "/home/u/写真/";
    s.kcactive = false;
    s.runpng = true;
    settings::saveOptions(s);
    EXPECT_EQ(readFile(fake.iniPath()),
              "[init]\nformmin=True\nmaxpathsize=40\npath=/home/u/写真/\nkcactive=False\n"
              "stopiffull=True\nrunpng=True\n");
    settings::saveDisplay(s);  // s.formmin is false
    const Settings back = settings::load("/x");
    EXPECT_EQ(back.maxpathsize, 40);
    EXPECT_EQ(back.path, "/home/u/写真/");
    EXPECT_FALSE(back.kcactive || back.formmin);
    EXPECT_TRUE(back.stopiffull && back.runpng);
}

}  // namespace
