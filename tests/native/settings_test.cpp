#include "engine/settings/core/settings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace kadrix;

TEST(Settings, DefaultsAreLetterboxWithoutGlossAtOnePercentHonouringUserThumbnails)
{
    const ThumbnailSettings s;
    EXPECT_EQ(BackgroundOf(s), Background::Letterbox);
    EXPECT_EQ(s.glossy, 0u);
    EXPECT_EQ(s.override, 0u);
    const CapturePosition p = CapturePositionOf(s);
    EXPECT_DOUBLE_EQ(p.value, 0.01);
    EXPECT_DOUBLE_EQ(p.scale, 1.0);
}

TEST(Settings, BackgroundPrecedence)
{
    ThumbnailSettings s;
    s.letterbox = 1;
    s.blackBkg = 1;
    EXPECT_EQ(BackgroundOf(s), Background::Letterbox);
    s.letterbox = 0;
    EXPECT_EQ(BackgroundOf(s), Background::Black);
    s.windowBkg = 1;
    EXPECT_EQ(BackgroundOf(s), Background::Black);
    s.blackBkg = 0;
    EXPECT_EQ(BackgroundOf(s), Background::WindowColour);
    s.windowBkg = 0;
    EXPECT_EQ(BackgroundOf(s), Background::WindowColour); // none set
    s.letterbox = 7;                                      // any nonzero counts as set
    EXPECT_EQ(BackgroundOf(s), Background::Letterbox);
}

TEST(Settings, CapturePositionByTimeShift)
{
    ThumbnailSettings s;
    s.percent = 50;
    EXPECT_DOUBLE_EQ(CapturePositionOf(s).value, 0.5);
    EXPECT_DOUBLE_EQ(CapturePositionOf(s).scale, 1.0);

    s.timeShift = 0;
    s.time = 30;
    EXPECT_DOUBLE_EQ(CapturePositionOf(s).value, 30.0);
    EXPECT_DOUBLE_EQ(CapturePositionOf(s).scale, 0.0);

    s.timeShift = 1;
    s.percent = 4000000000u; // unsigned all the way, out of range or not
    EXPECT_DOUBLE_EQ(CapturePositionOf(s).value, 40000000.0);
}

TEST(Settings, ValueTableReadsEveryFieldOnceInTheHandlersOrder)
{
    const std::wstring order[] = {L"Glossy",  L"WindowBkg", L"BlackBkg", L"Letterbox", L"TimeShift",
                                  L"Percent", L"Time",      L"Override", L"Random"};
    ASSERT_EQ(std::size(kSettingsValues), std::size(order));
    for (std::size_t i = 0; i < std::size(order); ++i)
        EXPECT_EQ(kSettingsValues[i].name, order[i]);

    // Each name reaches its own field: nine distinct values land in nine places.
    ThumbnailSettings s;
    for (std::size_t i = 0; i < std::size(kSettingsValues); ++i)
        s.*kSettingsValues[i].field = static_cast<std::uint32_t>(100 + i);
    EXPECT_EQ(s.glossy, 100u);
    EXPECT_EQ(s.letterbox, 103u);
    EXPECT_EQ(s.percent, 105u);
    EXPECT_EQ(s.time, 106u);
    EXPECT_EQ(s.random, 108u);
    const std::set<std::uint32_t> all = {s.glossy,    s.windowBkg, s.blackBkg,
                                         s.letterbox, s.timeShift, s.override,
                                         s.random,    s.time,      s.percent};
    EXPECT_EQ(all.size(), 9u);
}
