// The setup window's appearance preview: the embedded sample pictures
// decoded with libjpeg, and the preview's pixels in each look.
#include "base/gdiplus.h"
#include "setup/jpeg_picture.h"
#include "setup/preview.h"
#include "support/images.h"
#include "winui/core/error.h"

#include <gtest/gtest.h>

#include <windows.h>

using namespace kadrix;
using namespace kadrix::setup;
using namespace kadrix::test;

namespace {

constexpr Rgb kBlack{0, 0, 0};

Rgb WindowColour()
{
    const COLORREF c = ::GetSysColor(COLOR_WINDOW);
    return {GetRValue(c), GetGValue(c), GetBValue(c)};
}

// How much lighter a is than b, over the three channels.
int Gain(Rgb a, Rgb b)
{
    return (a.r - b.r) + (a.g - b.g) + (a.b - b.b);
}

#define EXPECT_COLOUR(actual, expected, tolerance)                                                 \
    EXPECT_TRUE(Near((actual), (expected), (tolerance))) << (actual) << " expected " << (expected)

class SetupPreviewTest : public testing::Test
{
protected:
    // The preview of sample `index` as the window would show it.
    Picture Preview(int index, bool glossy, PreviewMode mode, const wchar_t* artefact = nullptr)
    {
        unique_hbitmap sample = LoadSamplePicture(::GetModuleHandleW(nullptr), index);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = kPreviewSize;
        info.bmiHeader.biHeight = -kPreviewSize;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        unique_hbitmap surface(
            ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        unique_hdc dc(::CreateCompatibleDC(nullptr));
        {
            select_object selected(dc.get(), surface.get());
            BuildThumbnail(sample.get(), glossy, mode, dc.get());
        }
        if (artefact)
            SavePng(surface.get(), std::wstring(L"artefacts\\") + artefact + L".png");
        return PictureFromBitmap(surface.get());
    }

    GdiplusSession gdiplus_; // the program starts GDI+ once; so does this test
};

TEST_F(SetupPreviewTest, EverySampleDecodesToItsSize)
{
    for (int index = 1; index <= 5; ++index) {
        unique_hbitmap sample = LoadSamplePicture(::GetModuleHandleW(nullptr), index);
        const Picture picture = PictureFromBitmap(sample.get());
        EXPECT_EQ(picture.width, 150) << index;
        EXPECT_EQ(picture.height, index == 5 ? 112 : 113) << index;
        // A real frame, not a blank: its corners differ from its middle.
        EXPECT_FALSE(Near(picture.mean(0, 0, 20, 20), picture.mean(60, 40, 30, 30), 10)) << index;
    }
}

TEST_F(SetupPreviewTest, MissingOrBrokenSampleIsAnErrorNotAnExit)
{
    EXPECT_THROW(LoadSamplePicture(::GetModuleHandleW(nullptr), 9), winui::Error);

    const unsigned char notJpeg[] = "not a jpeg at all";
    EXPECT_FALSE(DecodeJpeg(notJpeg, sizeof notJpeg));
    // A JPEG cut off after its header: libjpeg fails mid-way, the process
    // carries on.
    HRSRC found = ::FindResourceW(nullptr, L"#1", RT_RCDATA);
    const auto* data =
        static_cast<const unsigned char*>(::LockResource(::LoadResource(nullptr, found)));
    ASSERT_NE(data, nullptr);
    unique_hbitmap cut = DecodeJpeg(data, 400);
    if (cut) { // libjpeg may pad a truncated scan; it must still be whole
        const Picture picture = PictureFromBitmap(cut.get());
        EXPECT_EQ(picture.width, 150);
    }
    EXPECT_FALSE(DecodeJpeg(data, 20));
}

TEST_F(SetupPreviewTest, WindowColourAboveAndBelowThePicture)
{
    const Picture p = Preview(1, false, PreviewMode::WindowColour, L"preview-window");
    ASSERT_FALSE(p.empty());
    EXPECT_COLOUR(p.mean(0, 0, 128, 15), WindowColour(), 2);      // above 15.79
    EXPECT_COLOUR(p.mean(0, 113, 128, 15), WindowColour(), 2);    // below 112.21
    EXPECT_FALSE(Near(p.mean(0, 17, 4, 94), WindowColour(), 20)); // the picture fills the width
    EXPECT_FALSE(Near(p.mean(124, 17, 4, 94), WindowColour(), 20));
}

TEST_F(SetupPreviewTest, LetterboxBandAroundTheShorterPicture)
{
    const Picture p = Preview(3, false, PreviewMode::Letterbox, L"preview-letterbox");
    ASSERT_FALSE(p.empty());
    EXPECT_COLOUR(p.mean(0, 0, 128, 15), WindowColour(), 2);
    EXPECT_COLOUR(p.mean(0, 17, 128, 4), kBlack, 2);  // band from 15.79 to the picture at 21.79
    EXPECT_COLOUR(p.mean(0, 107, 128, 4), kBlack, 2); // from the picture's end at 106.21 to 112.21
    EXPECT_COLOUR(p.mean(0, 23, 1, 82), kBlack, 2);   // left of x 2
    EXPECT_COLOUR(p.mean(127, 23, 1, 82), kBlack, 2); // right of x 126
    EXPECT_FALSE(Near(p.mean(4, 23, 120, 82), kBlack, 20));
    EXPECT_COLOUR(p.mean(0, 113, 128, 15), WindowColour(), 2);
}

TEST_F(SetupPreviewTest, BlackGlossRunsDownTheLeftToWhereTheWedgeEnds)
{
    const Picture plain = Preview(2, false, PreviewMode::Black);
    const Picture glossy = Preview(2, true, PreviewMode::Black, L"preview-black-gloss");
    ASSERT_FALSE(plain.empty());
    ASSERT_FALSE(glossy.empty());
    EXPECT_COLOUR(plain.mean(0, 0, 128, 15), kBlack, 2);

    // The top band brightens by white at alpha 50 to 70.
    const Rgb top = glossy.mean(20, 2, 20, 8);
    EXPECT_GE(top.r, 40);
    EXPECT_LE(top.r, 75);
    // Left edge: lit down to 76.3, not below it.
    EXPECT_GT(Gain(glossy.mean(1, 70, 2, 4), plain.mean(1, 70, 2, 4)), 25);
    EXPECT_COLOUR(glossy.mean(1, 79, 2, 6), plain.mean(1, 79, 2, 6), 3);
    // Right edge: lit only down to 9.74.
    EXPECT_GT(Gain(glossy.mean(124, 3, 3, 4), plain.mean(124, 3, 3, 4)), 25);
    EXPECT_COLOUR(glossy.mean(124, 13, 3, 6), plain.mean(124, 13, 3, 6), 3);
}

TEST_F(SetupPreviewTest, ShorterFifthSampleFillsTheSameRectangle)
{
    const Picture p = Preview(5, false, PreviewMode::WindowColour);
    ASSERT_FALSE(p.empty());
    EXPECT_COLOUR(p.mean(0, 0, 128, 15), WindowColour(), 2);
    EXPECT_FALSE(Near(p.mean(0, 108, 128, 3), WindowColour(), 20)); // down to 112.21
}

} // namespace
