// Settings texts to values: every accepted and refused form, rounding, the range ends.

#include <gtest/gtest.h>

#include "platform/Errors.h"
#include "settings/Conversions.h"
#include "settings/FrmOption.h"
#include "settings/IniManage.h"
#include "support/FakePlatform.h"

namespace {

using settings::toBoolean;
using settings::toInt32;

class Conversions : public testing::Test {
protected:
    testing_support::FakePlatform fake;
};

TEST_F(Conversions, Int32AcceptsPlainDecimals) {
    const std::pair<const char*, int32_t> accepted[] = {
        {"0", 0},
        {"2", 2},
        {"-7", -7},
        {"+7", 7},
        {"007", 7},
        {" 12 ", 12},
        {"\t-3\t", -3},
        {"1.4", 1},
        {"1.6", 2},
        {"-1.6", -2},
        {"2.5", 2},
        {"3.5", 4},
        {"-2.5", -2},
        {"-3.5", -4},
        {"0.5", 0},
        {"1.5", 2},
        {"2.50001", 3},
        {"2.4999", 2},
        {".5", 0},
        {".6", 1},
        {"5.", 5},
        {"-0", 0},
        {"-0.4", 0},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"2147483646.5", 2147483646},
        {"-2147483648.5", INT32_MIN},
        {"000000000000002147483647", INT32_MAX},
    };
    for (const auto& [text, expected] : accepted) {
        EXPECT_EQ(toInt32("maxpathsize", text), expected) << text;
    }
}

TEST_F(Conversions, Int32RefusesEverythingElse) {
    const char* refused[] = {
        "",
        "   ",
        "abc",
        "12abc",
        "0x10",
        "1e3",
        "1,000",
        "- 5",
        "+-1",
        "1.2.3",
        ".",
        "-",
        "１２",
        "True",
        "2147483648",
        "-2147483649",
        "2147483647.5",
        "-2147483648.6",
        "99999999999",
        "12 3",
    };
    for (const char* text : refused) {
        EXPECT_THROW(toInt32("maxpathsize", QString::fromUtf8(text)), platform::Error) << text;
    }
}

TEST_F(Conversions, BooleanAcceptsWordsAndNumbers) {
    const std::pair<const char*, bool> accepted[] = {
        {"True", true},   {"true", true},   {"TRUE", true},   {"tRuE", true},
        {"False", false}, {"false", false}, {"FALSE", false}, {" True ", true},
        {"1", true},      {"-1", true},     {"0", false},     {" 2 ", true},
        {"0.0", false},   {"0.5", true},    {"-0", false},    {"99999999999", true},
    };
    for (const auto& [text, expected] : accepted) {
        EXPECT_EQ(toBoolean("kcactive", text), expected) << text;
    }
}

TEST_F(Conversions, BooleanRefusesOtherWords) {
    for (const char* text : {"", "yes", "no", "on", "T", "Truee", "0x1", "1e1", "True False"}) {
        EXPECT_THROW(toBoolean("kcactive", text), platform::Error) << text;
    }
}

TEST_F(Conversions, TheErrorNamesFileKeyAndValueAndSaysWhatToDo) {
    try {
        toInt32("maxpathsize", " 12abc");
        FAIL() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_EQ(e.message(), "設定ファイル " + IniManage::iniPath() +
                                   " の maxpathsize の値 \" 12abc\" を読み取れません。\r\n"
                                   "ファイルを直すか削除してから起動し直して下さい。");
    }
    try {
        toBoolean("runpng", "yes");
        FAIL() << "no error";
    } catch (const platform::Error& e) {
        EXPECT_TRUE(e.message().contains(fake.iniPath()));
        EXPECT_TRUE(e.message().contains(" の runpng の値 \"yes\" "));
    }
}

}  // namespace

// A limit typed with a Japanese input method: full-width digits count as the digits they show;
// other full-width characters stay as they are and end the number.
TEST(FullWidthDigits, CountAsTheDigitsTheyShowInTheLimitBox) {
    const std::pair<const char*, double> typed[] = {
        {"１０", 10}, {"1０5", 105}, {"１２.5", 12.5}, {"１２．５", 12}, {"ー３", 0}};
    for (const auto& [text, megabytes] : typed) {
        EXPECT_EQ(FrmOption::leadingNumber(QString::fromUtf8(text)), megabytes) << text;
    }
}
