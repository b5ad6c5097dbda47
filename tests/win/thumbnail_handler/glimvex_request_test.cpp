// The thumbnail request on real clips, checked through the streams on disk:
// which stream is shown, when a frame is captured again, and the stamp.
#include "product/identifiers.h"
#include "base/com_ptr.h"
#include "engine/settings/settings_registry.h"
#include "support/settings_writer.h"
#include "engine/store/core/stream_names.h"
#include "engine/store/stream_store.h"
#include "support/clips.h"
#include "support/process_end.h"
#include "support/server_library_test.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <thumbcache.h>

#include <algorithm>
#include <vector>

using namespace kadrix;
using namespace kadrix::test;

namespace {

constexpr Rgb kPurple{120, 20, 140}; // in no segment of the clips

class GlimvexRequestTest : public ServerLibraryTest<GlimvexRequestTest>
{
public:
    static constexpr const wchar_t* kLibrary = L"Glimvex.dll";
    static constexpr Apartment kApartment = Apartment::Com;
    static constexpr const CLSID& kClass = CLSID_MyFirstGlimvex;

protected:
    void SetUp() override
    {
        ASSERT_TRUE(Server()) << "the library does not load";
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        clip_ = CopyClip(dir_, L"mjpeg.avi");
        ASSERT_FALSE(clip_.empty()) << "test clips missing";
        mainData_ = ReadFileBytes(clip_);
    }
    // No unload check: one test leaves a stalled worker holding the library.
    void TearDown() override
    {
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        EXPECT_EQ(ReadFileBytes(clip_), mainData_) << "the video's own data changed";
    }

    // The newer protocol: Initialize, then GetThumbnail.
    static Picture Thumbnail(const std::wstring& path, UINT size = 96, HRESULT expected = S_OK)
    {
        com_ptr<IUnknown> object = NewObject();
        auto initialize = object.try_query<IInitializeWithFile>();
        auto provider = object.try_query<IThumbnailProvider>();
        EXPECT_EQ(initialize->Initialize(path.c_str(), STGM_READ), S_OK);
        HBITMAP bitmap = nullptr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        EXPECT_EQ(provider->GetThumbnail(size, &bitmap, &alpha), expected);
        if (!bitmap)
            return {};
        EXPECT_EQ(alpha, WTSAT_RGB);
        unique_hbitmap owned(bitmap);
        return PictureFromBitmap(bitmap);
    }

    static void Settings(void (*change)(ThumbnailSettings&))
    {
        ThumbnailSettings s;
        s.windowBkg = 1;
        s.letterbox = 0;
        change(s);
        ASSERT_EQ(WriteSettings(s), ERROR_SUCCESS);
    }

    std::wstring Stream(std::wstring_view name) const { return StreamPath(clip_, name); }
    bool Has(std::wstring_view name) const { return FileExists(Stream(name)); }

    Bytes Stamp() const { return ReadFileBytes(Stream(kStampStream)); }
    void SetStamp(const Bytes& bytes) const
    {
        ASSERT_TRUE(WriteFileBytes(Stream(kStampStream), bytes));
    }
    static Bytes StampOf(DWORD value)
    {
        return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
                static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
    }

    // An automatic thumbnail that no capture would make.
    void PlantAutomatic() const
    {
        const auto frame = MakeSolidBitmap(160, 120, kPurple);
        WriteThumbnailStream(clip_.c_str(), frame.get(), 0);
    }
    static bool ShowsPurple(const Picture& tile)
    {
        return !tile.empty() && Near(tile.mean(30, 36, 36, 24), kPurple, 16);
    }

    TempDir dir_;
    std::wstring clip_;
    Bytes mainData_;
};

TEST_F(GlimvexRequestTest, MissingAutomaticThumbnailIsCapturedAndStamped)
{
    Settings([](ThumbnailSettings& s) { s.random = 77; });
    const Picture tile = Thumbnail(clip_);
    EXPECT_EQ(SegmentOf(tile), 0); // 1 percent of the clip
    EXPECT_TRUE(Has(kAutoThumbStream));
    EXPECT_EQ(Stamp(), StampOf(77));
    EXPECT_FALSE(Has(kUserThumbStream));
}

TEST_F(GlimvexRequestTest, UserChosenThumbnailWinsWhileOverrideIsOff)
{
    Settings([](ThumbnailSettings&) {});
    const auto frame = MakeSolidBitmap(160, 120, kPurple);
    WriteThumbnailStream(clip_.c_str(), frame.get(), 1);

    EXPECT_TRUE(ShowsPurple(Thumbnail(clip_)));
    EXPECT_FALSE(Has(kAutoThumbStream)); // no capture
    EXPECT_FALSE(Has(kStampStream));     // stamp untouched
}

TEST_F(GlimvexRequestTest, OverrideIgnoresTheUserChosenThumbnail)
{
    Settings([](ThumbnailSettings& s) { s.override = 1; });
    const auto frame = MakeSolidBitmap(160, 120, kPurple);
    WriteThumbnailStream(clip_.c_str(), frame.get(), 1);

    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 0);
    EXPECT_TRUE(Has(kAutoThumbStream));
    EXPECT_TRUE(Has(kStampStream));
}

TEST_F(GlimvexRequestTest, CurrentStampMeansNoCapture)
{
    Settings([](ThumbnailSettings& s) { s.random = 5; });
    PlantAutomatic();
    SetStamp(StampOf(5));
    EXPECT_TRUE(ShowsPurple(Thumbnail(clip_)));
    EXPECT_EQ(Stamp(), StampOf(5));
}

TEST_F(GlimvexRequestTest, NewRandomCapturesAgainAndRestamps)
{
    Settings([](ThumbnailSettings& s) { s.random = 6; });
    PlantAutomatic();
    SetStamp(StampOf(5));
    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 0);
    EXPECT_EQ(Stamp(), StampOf(6));
}

TEST_F(GlimvexRequestTest, DeletedAutomaticStreamIsCapturedDespiteACurrentStamp)
{
    Settings([](ThumbnailSettings& s) { s.random = 5; });
    SetStamp(StampOf(5));
    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 0);
    EXPECT_TRUE(Has(kAutoThumbStream));
}

TEST_F(GlimvexRequestTest, MissingOrShortStampIsStale)
{
    Settings([](ThumbnailSettings& s) { s.random = 0x01020304; });
    PlantAutomatic();
    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 0); // no stamp: captured
    EXPECT_EQ(Stamp(), StampOf(0x01020304));

    PlantAutomatic();
    SetStamp({0x04, 0x03}); // two bytes of the right stamp
    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 0);
    EXPECT_EQ(Stamp(), StampOf(0x01020304)); // repaired
}

TEST_F(GlimvexRequestTest, CapturePositionFollowsTheSettings)
{
    Settings([](ThumbnailSettings& s) { s.percent = 50; });
    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 4); // the middle of nine seconds

    Settings([](ThumbnailSettings& s) {
        s.timeShift = 0;
        s.time = 2;
        s.random = 1; // a changed position comes with a new number
    });
    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 2);

    Settings([](ThumbnailSettings& s) {
        s.timeShift = 0;
        s.time = 30; // longer than the clip: its middle
        s.random = 2;
    });
    EXPECT_EQ(SegmentOf(Thumbnail(clip_)), 4);
}

// The names in a folder, to tell that nothing appeared in it.
std::vector<std::wstring> Listing(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do
        names.emplace_back(found.cFileName);
    while (::FindNextFileW(search, &found));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(GlimvexRequestTest, NetworkPathGivesNoBitmapAndTouchesNothing)
{
    Settings([](ThumbnailSettings&) {});
    wchar_t current[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, current);
    const auto before = Listing(current);
    const auto ours = Listing(dir_.path());
    EXPECT_TRUE(Thumbnail(L"\\\\kxserver\\share\\clip.avi", 96, E_FAIL).empty());
    EXPECT_EQ(Listing(current), before);
    EXPECT_EQ(Listing(dir_.path()), ours);
}

// A clip deleted or renamed while its request waited, or a name that never
// was: the request writes nothing, and no file comes back under the name.
TEST_F(GlimvexRequestTest, AMissingClipComesBackAsNothing)
{
    Settings([](ThumbnailSettings& s) { s.random = 5; });
    const auto before = Listing(dir_.path());
    const std::wstring gone = dir_.file(L"gone.avi");
    (void)Thumbnail(gone); // the background alone, or nothing
    EXPECT_FALSE(FileExists(gone));
    EXPECT_EQ(Listing(dir_.path()), before);
}

// While a capture worker lives (stalled, its request long answered), the
// library must stay loaded: its code runs on that thread.
TEST_F(GlimvexRequestTest, TheLibraryStaysWhileAStalledCaptureLives)
{
    Settings([](ThumbnailSettings&) {});
    EndWithoutTeardown(); // the stalled worker stays to the end
    const std::wstring stalled = dir_.file(L"stalled.mkv");
    ASSERT_TRUE(::CopyFileW(MediaClip(L"stuck-header.mkv").c_str(), stalled.c_str(), FALSE));
    (void)Thumbnail(stalled); // the background, once the deadline has passed
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
}

TEST_F(GlimvexRequestTest, PathWithoutFolderIsServedFromTheCurrentFolder)
{
    Settings([](ThumbnailSettings&) {});
    wchar_t previous[MAX_PATH];
    ::GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(::SetCurrentDirectoryW(dir_.path().c_str()));
    const Picture tile = Thumbnail(L"mjpeg.avi");
    ::SetCurrentDirectoryW(previous);
    EXPECT_EQ(SegmentOf(tile), 0);
    EXPECT_TRUE(Has(kAutoThumbStream));
}

TEST_F(GlimvexRequestTest, TileSizesOfBothProtocols)
{
    Settings([](ThumbnailSettings&) {});
    const Picture large = Thumbnail(clip_, 256);
    EXPECT_EQ(large.width, 256);
    EXPECT_EQ(large.height, 256);

    com_ptr<IUnknown> object = NewObject();
    auto persist = object.try_query<IPersistFile>();
    auto extract = object.try_query<IExtractImage>();
    ASSERT_EQ(persist->Load(clip_.c_str(), STGM_READ), S_OK);
    wchar_t buffer[MAX_PATH] = L"untouched";
    DWORD priority = 7, flags = 0x1234;
    const SIZE size{120, 90};
    ASSERT_EQ(extract->GetLocation(buffer, MAX_PATH, &priority, &size, 32, &flags), S_OK);
    EXPECT_EQ(std::wstring(buffer), L"untouched");
    EXPECT_EQ(flags, 0x1234u);
    HBITMAP bitmap = nullptr;
    ASSERT_EQ(extract->Extract(&bitmap), S_OK);
    unique_hbitmap owned(bitmap);
    const Picture tile = PictureFromBitmap(bitmap);
    EXPECT_EQ(tile.width, 120);
    EXPECT_EQ(tile.height, 90);
    EXPECT_EQ(SegmentOf(tile), 0);
}

TEST_F(GlimvexRequestTest, BrokenClipStillGetsATileAndIsTriedAgainNextTime)
{
    Settings([](ThumbnailSettings& s) { s.random = 9; });
    const std::wstring text = dir_.file(L"text.avi");
    ASSERT_TRUE(WriteFileBytes(text, Bytes{'n', 'o', 't', ' ', 'v', 'i', 'd', 'e', 'o'}));
    const Picture tile = Thumbnail(text);
    ASSERT_FALSE(tile.empty());    // the background alone
    EXPECT_EQ(SegmentOf(tile), 6); // plain window colour, white here
    EXPECT_FALSE(FileExists(StreamPath(text, kAutoThumbStream)));
    EXPECT_EQ(ReadFileBytes(StreamPath(text, kStampStream)), StampOf(9));

    // Put right (a download finished, say), the clip gets its frame at the
    // next request, though its stamp is current.
    ASSERT_TRUE(::CopyFileW(MediaClip(L"mjpeg.avi").c_str(), text.c_str(), FALSE));
    EXPECT_EQ(SegmentOf(Thumbnail(text)), 0);
    EXPECT_TRUE(FileExists(StreamPath(text, kAutoThumbStream)));
}

} // namespace
