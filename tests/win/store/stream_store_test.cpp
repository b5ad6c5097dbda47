#include "base/gdiplus.h"
#include "base/image_encoders.h"
#include "engine/store/core/stream_names.h"
#include "engine/store/stream_store.h"
#include "engine/store/user_message.h"
#include "support/child_process.h"
#include "support/images.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace kadrix;
using namespace kadrix::test;
using kadrix::StreamPath;

namespace {

std::vector<std::pair<std::wstring, std::wstring>> g_messages;

void RecordMessage(HWND, const wchar_t* text, const wchar_t* caption)
{
    g_messages.emplace_back(text, caption);
}

class StreamStoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        g_messages.clear();
        previous_ = kadrix::SetUserMessageHandler(&RecordMessage);
        ASSERT_TRUE(WriteFileBytes(clip_, mainData_));
    }
    void TearDown() override { kadrix::SetUserMessageHandler(previous_); }

    std::wstring Stream(std::wstring_view name) const { return StreamPath(clip_, name); }
    void ExpectMainDataUnchanged() const { EXPECT_EQ(ReadFileBytes(clip_), mainData_); }

    // Wine keeps a stream as a sibling file named "clip.avi:stream". A folder
    // in its place is refused by the file system with ERROR_ACCESS_DENIED, the
    // answer Windows gives for a read-only file; as root, Wine enforces neither
    // the read-only attribute nor a deny ACL.
    void MakeStreamUnwritable(std::wstring_view name) const
    {
        ASSERT_TRUE(::CreateDirectoryW(Stream(name).c_str(), nullptr));
    }

    TempDir dir_;
    const std::wstring clip_ = dir_.file(L"clip.avi");
    const Bytes mainData_ = SampleMainData();
    kadrix::UserMessageHandler previous_ = nullptr;
};

TEST(EncoderLookup, FindsTheJpegEncoderByExactMimeType)
{
    kadrix::GdiplusSession gdiplus;
    ASSERT_TRUE(gdiplus);
    CLSID jpeg{};
    EXPECT_GE(GetEncoderClsid(L"image/jpeg", &jpeg), 0);
    EXPECT_NE(jpeg, CLSID{});

    CLSID untouched{};
    EXPECT_EQ(GetEncoderClsid(L"image/JPEG", &untouched), -1); // case-sensitive
    EXPECT_EQ(GetEncoderClsid(L"video/avi", &untouched), -1);
    EXPECT_EQ(untouched, CLSID{});
}

TEST_F(StreamStoreTest, EachJpegStreamHoldsTheFrameAtItsSize)
{
    const auto red = MakeSolidBitmap(64, 48, {200, 40, 40});
    const auto green = MakeSolidBitmap(50, 30, {40, 180, 60});
    WriteThumbnailStream(clip_.c_str(), red.get(), 1);
    WriteThumbnailStream(clip_.c_str(), green.get(), 0);

    const Picture user = LoadPicture(Stream(kadrix::kUserThumbStream));
    ASSERT_EQ(user.width, 64);
    ASSERT_EQ(user.height, 48);
    EXPECT_TRUE(Near(user.mean(8, 8, 48, 32), {200, 40, 40}, 10)) << user.mean(8, 8, 48, 32);

    const Picture automatic = LoadPicture(Stream(kadrix::kAutoThumbStream));
    ASSERT_EQ(automatic.width, 50);
    ASSERT_EQ(automatic.height, 30);
    EXPECT_TRUE(Near(automatic.mean(8, 8, 34, 14), {40, 180, 60}, 10));

    EXPECT_TRUE(g_messages.empty());
    ExpectMainDataUnchanged();
}

TEST_F(StreamStoreTest, SecondWriteReplacesTheFirstCompletely)
{
    const auto large = MakeSolidBitmap(320, 240, {220, 220, 30});
    const auto small = MakeSolidBitmap(16, 12, {30, 30, 220});
    WriteThumbnailStream(clip_.c_str(), large.get(), 1);
    const Bytes first = ReadFileBytes(Stream(kadrix::kUserThumbStream));
    WriteThumbnailStream(clip_.c_str(), small.get(), 1);
    const Bytes second = ReadFileBytes(Stream(kadrix::kUserThumbStream));

    // Nothing of the larger first JPEG may remain behind the second one: it
    // must equal the same frame written into a stream that never held anything.
    const std::wstring other = dir_.file(L"other.avi");
    ASSERT_TRUE(WriteFileBytes(other, mainData_));
    WriteThumbnailStream(other.c_str(), small.get(), 1);
    ASSERT_GT(first.size(), second.size());
    EXPECT_EQ(second, ReadFileBytes(StreamPath(other, kadrix::kUserThumbStream)));

    const Picture picture = LoadPicture(Stream(kadrix::kUserThumbStream));
    EXPECT_EQ(picture.width, 16);
    EXPECT_EQ(picture.height, 12);
    ExpectMainDataUnchanged();
}

TEST_F(StreamStoreTest, StreamExistsFollowsTheStreamAndItsSharing)
{
    for (auto name : {kadrix::kUserThumbStream, kadrix::kAutoThumbStream, kadrix::kStampStream})
        EXPECT_FALSE(StreamExists(clip_.c_str(), std::wstring(name).c_str()));

    const auto frame = MakeSolidBitmap(32, 24, {10, 120, 200});
    WriteThumbnailStream(clip_.c_str(), frame.get(), 0);
    EXPECT_TRUE(StreamExists(clip_.c_str(), L"vantrelthumbauto"));
    EXPECT_FALSE(StreamExists(clip_.c_str(), L"vantrelthumb"));

    {
        FileLockedByChild lock(Stream(kadrix::kAutoThumbStream));
        ASSERT_TRUE(lock.locked());
        EXPECT_FALSE(StreamExists(clip_.c_str(), L"vantrelthumbauto"));
    }
    EXPECT_TRUE(StreamExists(clip_.c_str(), L"vantrelthumbauto"));
    ExpectMainDataUnchanged();
}

TEST_F(StreamStoreTest, DeniedUserChosenWriteTellsTheUserOnce)
{
    MakeStreamUnwritable(kadrix::kUserThumbStream);
    const auto frame = MakeSolidBitmap(32, 24, {200, 40, 40});
    WriteThumbnailStream(clip_.c_str(), frame.get(), 1);

    ASSERT_EQ(g_messages.size(), 1u);
    EXPECT_EQ(g_messages[0].first, L"Can't write thumbnail image. Access denied.");
    EXPECT_EQ(g_messages[0].second, L"Error");
    ExpectMainDataUnchanged();
}

TEST_F(StreamStoreTest, DeniedAutomaticWriteIsSilent)
{
    MakeStreamUnwritable(kadrix::kAutoThumbStream);
    const auto frame = MakeSolidBitmap(32, 24, {200, 40, 40});
    WriteThumbnailStream(clip_.c_str(), frame.get(), 0);

    EXPECT_TRUE(g_messages.empty());
    EXPECT_TRUE(LoadPicture(Stream(kadrix::kAutoThumbStream)).empty());
    ExpectMainDataUnchanged();
}

TEST_F(StreamStoreTest, StreamLockedByAnotherProgramIsARefusedWrite)
{
    // A frame the user picked that another program's lock keeps out is told
    // as a refused write (the user can close that program and try again);
    // the automatic stream passes over it silently. Nothing is written.
    const auto frame = MakeSolidBitmap(32, 24, {200, 40, 40});
    for (const int userChosen : {1, 0}) {
        const std::wstring stream =
            Stream(userChosen ? kadrix::kUserThumbStream : kadrix::kAutoThumbStream);
        g_messages.clear();
        {
            FileLockedByChild lock(stream);
            ASSERT_TRUE(lock.locked());
            EXPECT_EQ(SaveThumbnailStream(clip_.c_str(), frame.get(), userChosen),
                      E_ACCESSDENIED);
            WriteThumbnailStream(clip_.c_str(), frame.get(), userChosen);
        }
        EXPECT_EQ(g_messages.size(), userChosen ? 1u : 0u);
        EXPECT_TRUE(LoadPicture(stream).empty());
        ExpectMainDataUnchanged();
    }
}

// Wine 8 takes the mark and moves no time for it, but its later writes move
// the last-write time all the same (a Unix file has no such mark); Windows
// keeps it, which is checked where the mark is honoured.
bool MarkIsHonoured()
{
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") == nullptr;
}

ULONGLONG LastWrite(HANDLE file)
{
    FILETIME write{};
    EXPECT_TRUE(::GetFileTime(file, nullptr, nullptr, &write));
    return (ULONGLONG{write.dwHighDateTime} << 32) | write.dwLowDateTime;
}

TEST_F(StreamStoreTest, KeptTimesStayThroughWritesOnTheMarkedHandle)
{
    const FILETIME old{0xC89DC000, 0x01C07385}; // 1 January 2001
    {
        kadrix::unique_file file(
            ::CreateFileW(clip_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(::SetFileTime(file.get(), nullptr, &old, &old));
    }
    const ULONGLONG before = (ULONGLONG{old.dwHighDateTime} << 32) | old.dwLowDateTime;
    kadrix::unique_file file(
        ::CreateFileW(clip_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(kadrix::KeepFileTimes(file.get()));
    EXPECT_EQ(LastWrite(file.get()), before); // the mark is no time of its own

    DWORD written = 0;
    ASSERT_TRUE(::WriteFile(file.get(), "mark", 4, &written, nullptr));
    if (MarkIsHonoured()) {
        EXPECT_EQ(LastWrite(file.get()), before);
    }
    EXPECT_FALSE(kadrix::KeepFileTimes(nullptr));
}

TEST_F(StreamStoreTest, StampIsFourLittleEndianBytesAtTheStart)
{
    ASSERT_TRUE(WriteFileBytes(Stream(kadrix::kStampStream), {9, 9, 9, 9, 9, 9}));
    EXPECT_TRUE(kadrix::WriteGenerationStamp(clip_.c_str(), 0x01020304));
    EXPECT_EQ(ReadFileBytes(Stream(kadrix::kStampStream)), (Bytes{4, 3, 2, 1, 9, 9}));

    // A clip that went away gets no stream that would bring back its name.
    const std::wstring gone = dir_.file(L"gone.avi");
    EXPECT_FALSE(kadrix::WriteGenerationStamp(gone.c_str(), 1));
    EXPECT_FALSE(FileExists(StreamPath(gone, kadrix::kStampStream)));
    ExpectMainDataUnchanged();
}

TEST_F(StreamStoreTest, NullArgumentsWriteNothing)
{
    const auto frame = MakeSolidBitmap(8, 8, {1, 2, 3});
    WriteThumbnailStream(nullptr, frame.get(), 1);
    WriteThumbnailStream(clip_.c_str(), nullptr, 1);
    EXPECT_FALSE(StreamExists(clip_.c_str(), L"vantrelthumb"));
    EXPECT_FALSE(StreamExists(nullptr, L"vantrelthumb"));
    EXPECT_TRUE(g_messages.empty());
}

} // namespace
