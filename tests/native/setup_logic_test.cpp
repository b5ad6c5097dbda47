#include "setup/core/switches.h"
#include "setup/core/registry.h"
#include "setup/core/cache_files.h"
#include "setup/core/preview_geometry.h"
#include "setup/core/random_tokens.h"
#include "setup/core/time_shift_flags.h"
#include "winui/core/text.h"

#include "fake_registry.h"

#include <gtest/gtest.h>

#include <set>

using namespace kadrix::setup;
using kadrix::winui::Error;
using kadrix::winui::ParseInteger;
using kadrix::winui::TextToInteger;
using kadrix::winui::WithFullStop;

TEST(TimeShiftFlags, CreationMovesDoNotCountButRelativeClicksDo)
{
    TimeShiftFlags flags;
    flags.PositionMoved();
    EXPECT_FALSE(flags.ShiftChanged());
    flags.RelativeClicked(); // FormCreate's click leaves the flag set
    EXPECT_TRUE(flags.ShiftChanged());

    flags.Loaded();
    EXPECT_TRUE(flags.ShiftArmed());
    EXPECT_FALSE(flags.ShiftChanged());
    flags.PositionMoved();
    EXPECT_TRUE(flags.ShiftChanged());
    flags.Saved();
    EXPECT_FALSE(flags.ShiftChanged());
    EXPECT_TRUE(flags.ShiftArmed());
    flags.RelativeClicked();
    EXPECT_TRUE(flags.ShiftChanged());
}

TEST(PreviewIndex, PercentInFifthsWithHundredInTheLast)
{
    const int expected[][2] = {{0, 1},  {19, 1}, {20, 2}, {39, 2}, {40, 3}, {59, 3},
                               {60, 4}, {79, 4}, {80, 5}, {99, 5}, {100, 5}};
    for (const auto& [percent, index] : expected)
        EXPECT_EQ(PreviewIndexForPercent(percent), index) << percent;
}

TEST(PreviewIndex, SecondsInStepsOfFiveFromTwentyFiveOnTheLast)
{
    const int expected[][2] = {{0, 1},  {4, 1},  {5, 2},  {9, 2},  {10, 3}, {14, 3},
                               {15, 4}, {19, 4}, {20, 5}, {24, 5}, {25, 5}, {32767, 5}};
    for (const auto& [seconds, index] : expected)
        EXPECT_EQ(PreviewIndexForSeconds(seconds), index) << seconds;
}

TEST(RandomTokens, DrawnOverTheWholeRange)
{
    RandomTokens tokens(12345);
    std::set<std::int32_t> seen;
    bool high = false, low = false;
    for (int i = 0; i < 2000; ++i) {
        const std::int32_t token = tokens.Next();
        ASSERT_GE(token, 0);
        ASSERT_LE(token, RandomTokens::kMax);
        high = high || token > (1 << 30) + (1 << 29);
        low = low || token < (1 << 29);
        seen.insert(token);
    }
    EXPECT_TRUE(high && low);
    EXPECT_GT(seen.size(), 1990u);
}

TEST(Switches, ExactSpellingOnly)
{
    EXPECT_EQ(SwitchOf(L"-cleancache"), Switch::CleanCache);
    EXPECT_EQ(SwitchOf(L"-register"), Switch::Register);
    EXPECT_EQ(SwitchOf(L"-unregister"), Switch::Unregister);
    EXPECT_EQ(SwitchOf(L"-REGISTER"), Switch::None);
    EXPECT_EQ(SwitchOf(L"/register"), Switch::None);
    EXPECT_EQ(SwitchOf(L"-register "), Switch::None);
    EXPECT_EQ(SwitchOf(L""), Switch::None);
}

TEST(Switches, CacheFolderBelowLocalAppData)
{
    EXPECT_EQ(ThumbnailCacheFolder(L"C:\\Users\\u\\AppData\\Local"),
              L"C:\\Users\\u\\AppData\\Local\\Microsoft\\Windows\\Explorer\\");
    EXPECT_EQ(ThumbnailCacheFolder(L"C:\\Local\\"), L"C:\\Local\\Microsoft\\Windows\\Explorer\\");
    // Not set: the root of the current drive.
    EXPECT_EQ(ThumbnailCacheFolder(L""), L"\\Microsoft\\Windows\\Explorer\\");
}

TEST(ErrorText, FullStopAfterLettersAndDigitsOnly)
{
    EXPECT_EQ(WithFullStop(L"'x' is not a valid integer value"),
              L"'x' is not a valid integer value.");
    EXPECT_EQ(WithFullStop(L"Error 5"), L"Error 5.");
    EXPECT_EQ(WithFullStop(L"Failed to get data for 'Glossy'"), L"Failed to get data for 'Glossy'");
    EXPECT_EQ(WithFullStop(L"Done."), L"Done.");
    EXPECT_EQ(WithFullStop(L"Why?"), L"Why?.") << "'?' sorts above the full stop";
    EXPECT_EQ(WithFullStop(L"a-"), L"a-");
    EXPECT_EQ(WithFullStop(L""), L"");
}

TEST(ErrorText, IntegerText)
{
    EXPECT_EQ(ParseInteger(L"0"), 0);
    EXPECT_EQ(ParseInteger(L"  42"), 42);
    EXPECT_EQ(ParseInteger(L"-7"), -7);
    EXPECT_EQ(ParseInteger(L"+7"), 7);
    EXPECT_EQ(ParseInteger(L"2147483647"), 2147483647);
    EXPECT_EQ(ParseInteger(L"-2147483648"), -2147483647 - 1);
    for (const wchar_t* bad :
         {L"", L" ", L"-", L"12a", L"1.5", L"2147483648", L"99999999999999999999", L"4 "})
        EXPECT_FALSE(ParseInteger(bad).has_value()) << bad;
    try {
        TextToInteger(L"abc");
        FAIL() << "no error";
    } catch (const Error& error) {
        EXPECT_EQ(error.message(), L"'abc' is not a valid integer value");
    }
}

TEST(RegistryValues, ReadingByType)
{
    kadrix::test::FakeRegistry registry;
    kadrix::test::FakeAccess access(registry);
    registry.Set(L"k", L"dword", DWordValue(0xFFFFFFFFu));
    registry.SetString(L"k", L"text", L"avifile");
    registry.Set(L"k", L"expand", RegistryValue{ValueType::ExpandString, StringValue(L"%x%").data});
    registry.SetString(L"k", L"empty", L"");
    registry.SetString(L"k", L"one", L"1");     // 4 bytes
    registry.SetString(L"k", L"twelve", L"12"); // 6 bytes
    registry.Set(L"k", L"binary", RegistryValue{ValueType::Binary, {1, 2, 3, 4}});
    ASSERT_TRUE(access.OpenKey(L"k", false));

    EXPECT_EQ(access.ReadInteger(L"dword"), -1);
    EXPECT_EQ(access.ReadString(L"text"), L"avifile");
    EXPECT_EQ(access.ReadString(L"expand"), L"%x%");
    EXPECT_EQ(access.ReadString(L"empty"), L"");
    EXPECT_EQ(access.ReadString(L"missing"), L"");

    auto message = [](auto&& read) {
        try {
            read();
        } catch (const RegistryError& error) {
            return error.message();
        }
        return std::wstring(L"no error");
    };
    EXPECT_EQ(message([&] { access.ReadString(L"dword"); }), L"Invalid data type for 'dword'");
    EXPECT_EQ(message([&] { access.ReadInteger(L"one"); }), L"Invalid data type for 'one'");
    EXPECT_EQ(message([&] { access.ReadInteger(L"binary"); }), L"Invalid data type for 'binary'");
    EXPECT_EQ(message([&] { access.ReadInteger(L"twelve"); }), L"Failed to get data for 'twelve'");
    EXPECT_EQ(message([&] { access.ReadInteger(L"missing"); }),
              L"Failed to get data for 'missing'");
}
