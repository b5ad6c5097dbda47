// End to end, the way Explorer goes: Glimvex registered, the extensions
// associated in HKEY_CLASSES_ROOT, and kadrix-thumb asking for every test
// clip's thumbnail through the registry, as a process of its own.
#include "base/com_ptr.h"
#include "base/proc_address.h"
#include "engine/store/core/stream_names.h"
#include "product/identifiers.h"
#include "support/clips.h"
#include "support/hresult.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <windows.h>
#ifndef NO_DSHOW_STRSAFE
#define NO_DSHOW_STRSAFE
#endif
#include <dshow.h>

#include <cwchar>
#include <string>
#include <vector>

using namespace kadrix::test;

namespace {

constexpr const wchar_t* kClsid = kadrix::ids::kMyFirstGlimvexClsid;
constexpr const wchar_t* kProviderKey = kadrix::ids::kThumbnailProviderHandlerKey;
constexpr const wchar_t* kExtractKey = kadrix::ids::kExtractImageHandlerKey;

struct Clip
{
    const wchar_t* name;
    const wchar_t* handlerKey; // which protocol the extension is registered for
};

// One clip for each extension the setup program associates. Two of them are
// registered for the older protocol only, so both paths are walked.
const Clip kClips[] = {
    {L"h264.mp4", kProviderKey},   {L"mjpeg.avi", kExtractKey},  {L"h264.mkv", kProviderKey},
    {L"h264.mov", kProviderKey},   {L"flv1.flv", kProviderKey},  {L"wmv2.wmv", kProviderKey},
    {L"wmv2.asf", kProviderKey},   {L"mpeg1.mpg", kProviderKey}, {L"mpeg2.mpeg", kProviderKey},
    {L"mpeg1.mpe", kExtractKey},   {L"mpeg1.m1v", kProviderKey}, {L"mpeg2.m2v", kProviderKey},
    {L"mpeg2.mpv2", kProviderKey},
};

std::wstring ExtensionOf(const std::wstring& name)
{
    return name.substr(name.find_last_of(L'.'));
}

void SetHandler(const std::wstring& extension, const wchar_t* key, bool on)
{
    const std::wstring path = extension + L"\\ShellEx\\" + key;
    if (on)
        ::RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, REG_SZ, kClsid,
                          static_cast<DWORD>((std::wcslen(kClsid) + 1) * sizeof(wchar_t)));
    else
        ::RegDeleteTreeW(HKEY_CLASSES_ROOT, extension.c_str());
}

// kadrix-thumb, run from beside the test as its own process.
DWORD RunThumb(const std::wstring& arguments)
{
    const ProgramRun run = RunProgram(BesideTest(L"kadrix-thumb.exe"), arguments, {}, {}, 120000);
    return run.finished ? run.exitCode : ~0u;
}

class EndToEndTest : public testing::Test
{
protected:
    void SetUp() override
    {
        module_.reset(::LoadLibraryW(L"Glimvex.dll"));
        ASSERT_TRUE(module_);
        using Entry = HRESULT(STDAPICALLTYPE*)();
        ASSERT_EQ(kadrix::GetProcAddressAs<Entry>(module_.get(), "DllRegisterServer")(), S_OK);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vantrel\\KadrixVuvu"); // defaults
        for (const Clip& clip : kClips)
            SetHandler(ExtensionOf(clip.name), clip.handlerKey, true);
        SetHandler(L".asx", kProviderKey, true);
    }
    void TearDown() override
    {
        for (const Clip& clip : kClips)
            SetHandler(ExtensionOf(clip.name), clip.handlerKey, false);
        SetHandler(L".asx", kProviderKey, false);
        using Entry = HRESULT(STDAPICALLTYPE*)();
        (void)kadrix::GetProcAddressAs<Entry>(module_.get(), "DllUnregisterServer")();
    }

    kadrix::unique_hmodule module_;
    TempDir dir_;
};

TEST_F(EndToEndTest, EveryAssociatedClipGetsItsThumbnailThroughTheRegistry)
{
    std::wstring arguments = L"--size 96";
    std::vector<std::wstring> copies;
    for (const Clip& clip : kClips) {
        copies.push_back(CopyClip(dir_, clip.name));
        ASSERT_FALSE(copies.back().empty()) << "missing clip";
        arguments += L" \"" + copies.back() + L"\"";
    }
    const std::wstring tiles = dir_.file(L"tiles");
    arguments += L" --out \"" + tiles + L"\"";
    ASSERT_EQ(RunThumb(arguments), 0u);

    for (std::size_t i = 0; i < std::size(kClips); ++i) {
        SCOPED_TRACE(testing::Message() << "clip " << i);
        const Picture tile = LoadPicture(tiles + L"\\" + kClips[i].name + L".png");
        ASSERT_FALSE(tile.empty());
        EXPECT_EQ(tile.width, 96);
        EXPECT_EQ(tile.height, 96);
        EXPECT_EQ(SegmentOf(tile), 0); // 1 percent in: the first segment
        EXPECT_TRUE(FileExists(kadrix::StreamPath(copies[i], kadrix::kAutoThumbStream)));
    }
}

TEST_F(EndToEndTest, PlaylistGetsABackgroundTileAndNoStream)
{
    const std::wstring playlist = CopyClip(dir_, L"playlist.asx");
    ASSERT_FALSE(playlist.empty());
    const std::wstring tiles = dir_.file(L"tiles");
    ASSERT_EQ(RunThumb(L"--size 64 \"" + playlist + L"\" --out \"" + tiles + L"\""), 0u);
    const Picture tile = LoadPicture(tiles + L"\\playlist.asx.png");
    ASSERT_FALSE(tile.empty());
    EXPECT_EQ(SegmentOf(tile), 6); // the window colour alone, white here
    EXPECT_FALSE(FileExists(kadrix::StreamPath(playlist, kadrix::kAutoThumbStream)));
}

// What DirectShow's graph builder says to a source filter for the file.
HRESULT DirectShowSource(const std::wstring& file)
{
    ::CoInitialize(nullptr);
    HRESULT hr;
    {
        kadrix::com_ptr<IGraphBuilder> graph;
        hr = ::CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph.put_void());
        kadrix::com_ptr<IBaseFilter> source;
        if (SUCCEEDED(hr))
            hr = graph->AddSourceFilter(file.c_str(), L"Source", source.put());
    }
    ::CoUninitialize();
    return hr;
}

// A Windows without DirectShow filters for MP4 (a stock one) still gives an
// MP4 its thumbnail, through Media Foundation: here DirectShow is made to
// pick a source filter for MP4 files that does not exist.
TEST_F(EndToEndTest, AClipDirectShowRefusesGetsItsTileThroughMediaFoundation)
{
    const wchar_t* refuser = L"Media Type\\{e436eb83-524f-11ce-9f53-0020af0ba770}"
                             L"\\{0DEAD0DE-0000-4000-8000-000000000001}";
    const std::wstring pattern = L"4,4,,66747970"; // "ftyp" at offset 4
    const std::wstring missing = L"{0DEAD0DE-0000-4000-8000-000000000002}";
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, refuser, L"0", REG_SZ, pattern.c_str(),
                                static_cast<DWORD>((pattern.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, refuser, L"Source Filter", REG_SZ,
                                missing.c_str(),
                                static_cast<DWORD>((missing.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
    const DWORD percent = 50;
    ::RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Vantrel\\KadrixVuvu", L"Percent", REG_DWORD,
                      &percent, sizeof percent);

    const std::wstring clip = CopyClip(dir_, L"h264.mp4");
    EXPECT_FAILED(DirectShowSource(clip)) << "DirectShow still opens MP4 files";
    const std::wstring tiles = dir_.file(L"tiles");
    const DWORD exitCode = RunThumb(L"--size 96 \"" + clip + L"\" --out \"" + tiles + L"\"");
    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, refuser);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Vantrel\\KadrixVuvu");

    ASSERT_EQ(exitCode, 0u);
    EXPECT_EQ(SegmentOf(LoadPicture(tiles + L"\\h264.mp4.png")), 4);
    const Picture frame = LoadPicture(kadrix::StreamPath(clip, kadrix::kAutoThumbStream));
    EXPECT_EQ(frame.width, kClipWidth);
    EXPECT_EQ(frame.height, kClipHeight);
    EXPECT_EQ(SegmentOf(frame), 4);
    EXPECT_TRUE(FileExists(kadrix::StreamPath(clip, kadrix::kStampStream)));
}

} // namespace
