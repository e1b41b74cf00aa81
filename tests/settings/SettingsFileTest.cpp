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

TEST(SettingsFile, ExtraValuesThatCannotBeUsedAreToldAndGiveTheirDefaults) {
    testing_support::FakePlatform fake;
    const struct {
        QByteArray extra;
        int32_t interval;
        bool skipsame;
        QStringList told;  // what the message names besides the file; empty: no message
    } cases[] = {
        {"", 1, false, {}},
        {"interval=3600\nskipsame=true\n", 3600, true, {}},
        {"interval=abc\nskipsame=1\n", 1, true, {"interval", "\"abc\""}},
        {"interval=0\n", 1, false, {"interval", "\"0\""}},
        {"interval=3601\nskipsame=maybe\n", 1, false, {"\"3601\"", "skipsame", "\"maybe\""}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.extra.toStdString());
        writeFile(fake.iniPath(), "[init]\nmaxpathsize=5\n[extra]\n" + c.extra);
        Settings s;
        const QString told = settings::loadExtra(s);
        EXPECT_EQ(s.interval, c.interval);
        EXPECT_EQ(s.skipsame, c.skipsame);
        EXPECT_EQ(told.isEmpty(), c.told.isEmpty()) << told.toStdString();
        for (const QString& part : c.told) {
            EXPECT_TRUE(told.contains(part) && told.contains(fake.iniPath())) << told.toStdString();
        }
    }
}

TEST(SettingsFile, OptionsAddTheExtraSectionOnlyForValuesTheFileDoesNotGive) {
    testing_support::FakePlatform fake;
    const QByteArray init =
        "[init]\r\n; kept\r\nmaxpathsize = 2\r\npath=/p/\r\nkcactive=True\r\n"
        "stopiffull=True\r\nrunpng=False\r\n";
    writeFile(fake.iniPath(), init);
    Settings s;
    s.path = "/p/";
    settings::saveOptions(s);
    EXPECT_EQ(readFile(fake.iniPath()), init) << "defaults changed the file";
    s.interval = 2;
    s.skipsame = true;
    settings::saveOptions(s);
    EXPECT_EQ(readFile(fake.iniPath()), init + "[extra]\r\ninterval=2\r\nskipsame=True\r\n");
    s.interval = 1;
    settings::saveOptions(s);
    EXPECT_EQ(readFile(fake.iniPath()), init + "[extra]\r\ninterval=1\r\nskipsame=True\r\n");
}

}  // namespace
