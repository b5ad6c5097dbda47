// End to end, the way Explorer opens a Properties dialog: both libraries
// registered, the video extensions associated by Zelkon.exe -register as an
// installer runs it, and kadrix-props finding the handler through the
// registry, as a process of its own; then kadrix-thumb asks for the tile of
// the clip whose frame was picked on the page.
#include "base/proc_address.h"
#include "base/unique_handle.h"
#include "support/clips.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

using namespace kadrix::test;

namespace {

constexpr int kGrabHost = 217; // the page's hidden control that carries its path
constexpr wchar_t kSettingsKey[] = L"Software\\Vantrel\\KadrixVuvu";

using Entry = HRESULT(STDAPICALLTYPE*)();

class PropertiesEndToEnd : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        module_ = ::LoadLibraryW(L"Tabliq.dll");
        handler_ = ::LoadLibraryW(L"Glimvex.dll");
        ASSERT_NE(module_, nullptr);
        ASSERT_NE(handler_, nullptr);
        ASSERT_EQ(kadrix::GetProcAddressAs<Entry>(module_, "DllRegisterServer")(), S_OK);
        ASSERT_EQ(kadrix::GetProcAddressAs<Entry>(handler_, "DllRegisterServer")(), S_OK);
        // The setup program associates only extensions the system knows.
        kadrix::unique_hkey extension;
        ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, L".avi", 0, nullptr, 0, KEY_READ, nullptr,
                                    extension.put(), nullptr),
                  ERROR_SUCCESS);
        const ProgramRun run = RunProgram(BesideTest(L"Zelkon.exe"), L"-register");
        ASSERT_TRUE(run.finished && run.exitCode == 0 && run.boxes.empty());
    }
    static void TearDownTestSuite()
    {
        (void)RunProgram(BesideTest(L"Zelkon.exe"), L"-unregister");
        (void)kadrix::GetProcAddressAs<Entry>(module_, "DllUnregisterServer")();
        (void)kadrix::GetProcAddressAs<Entry>(handler_, "DllUnregisterServer")();
        ::FreeLibrary(module_);
        ::FreeLibrary(handler_);
        ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
    }

    // kadrix-props on the files; the sheet, once it shows, goes to `visit`
    // and is then closed as a user closes it.
    static ProgramRun Properties(const std::wstring& files, const std::wstring& title,
                                 const WindowVisit& visit = {})
    {
        return RunProgram(BesideTest(L"kadrix-props.exe"), files, {}, title, 60000, visit, true);
    }

    static std::wstring NameOf(const std::wstring& path)
    {
        return path.substr(path.find_last_of(L'\\') + 1);
    }

    TempDir dir_;
    static inline HMODULE module_ = nullptr;
    static inline HMODULE handler_ = nullptr;
};

struct ControlSearch
{
    int id;
    HWND found;
};

BOOL CALLBACK FindControl(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ControlSearch*>(param);
    if (::GetDlgCtrlID(child) != search->id)
        return TRUE;
    search->found = child;
    return FALSE;
}

// A control of a page inside the sheet.
HWND PageControl(HWND sheet, int id)
{
    ControlSearch search{id, nullptr};
    ::EnumChildWindows(sheet, &FindControl, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[1024] = {};
    ::SendMessageW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
    return text;
}

TEST_F(PropertiesEndToEnd, OneClipGetsOneKadrixTabFromTabliq)
{
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    ASSERT_FALSE(clip.empty()) << "test clips missing";
    std::wstring held;
    const ProgramRun run =
        Properties(L"\"" + clip + L"\"", NameOf(clip) + L" Properties",
                   [&](HWND sheet) { held = TextOf(PageControl(sheet, kGrabHost)); });
    ASSERT_TRUE(run.windowSeen) << run.output;
    EXPECT_EQ(run.exitCode, 0u) << run.output;
    EXPECT_NE(run.output.find("handler {A0C4E7B2-6F18-4D3A-9B55-2E8D71C0F94B}"), std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("AddPages: 0x00000000"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("tabs: 1\r\ntab 1: Kadrix"), std::string::npos) << run.output;
    EXPECT_EQ(held, clip);
}

TEST_F(PropertiesEndToEnd, TwoFilesGetNoTab)
{
    const std::wstring a = CopyClip(dir_, L"mjpeg.avi");
    const std::wstring b = CopyClip(dir_, L"odd.avi");
    const ProgramRun run = Properties(L"\"" + a + L"\" \"" + b + L"\"", L"");
    EXPECT_TRUE(run.finished);
    EXPECT_NE(run.output.find("AddPages: 0x00000001"), std::string::npos) << run.output;
    EXPECT_NE(run.output.find("tabs: 0"), std::string::npos) << run.output;
}

TEST_F(PropertiesEndToEnd, ALongestPathReachesThePageUnchanged)
{
    // 259 characters, the most a path may have: folders of 100 characters
    // (a file system's name limit is near) and a file name that fills up.
    std::wstring folder = dir_.path();
    for (int i = 0; i < 2; ++i) {
        folder += L"\\" + std::wstring(100, static_cast<wchar_t>(L'p' + i));
        ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
    }
    const std::size_t stem = 259 - folder.size() - 1 - 4;
    const std::wstring clip = folder + L"\\" + std::wstring(stem, L'c') + L".avi";
    ASSERT_EQ(clip.size(), 259u);
    ASSERT_TRUE(::CopyFileW(MediaClip(L"mjpeg.avi").c_str(), clip.c_str(), FALSE));

    std::wstring held;
    const ProgramRun run =
        Properties(L"\"" + clip + L"\"", NameOf(clip) + L" Properties",
                   [&](HWND sheet) { held = TextOf(PageControl(sheet, kGrabHost)); });
    ASSERT_TRUE(run.windowSeen) << run.output;
    EXPECT_EQ(held, clip);
    ::DeleteFileW(clip.c_str());
}

// A frame picked on the page is the clip's tile from then on, unless the
// settings say to ignore picked frames: then the automatic one is.
TEST_F(PropertiesEndToEnd, AFramePickedOnThePageIsTheTileUnlessOverridden)
{
    const std::wstring clip = CopyClip(dir_, L"mjpeg.avi");
    ASSERT_FALSE(clip.empty()) << "test clips missing";
    // Seek to 60 % of the clip on the slider (segment 5 of 9), then store.
    // Loaded by path, the library says afterwards whether it may go: once the
    // sheet is closed nothing of it may still be alive.
    const ProgramRun picked =
        Properties(L"--dll \"" + BesideTest(L"Tabliq.dll") +
                       L"\" --click 215:61%,50% --click 216 --close-after 4000 \"" + clip + L"\"",
                   L"");
    ASSERT_TRUE(picked.finished) << picked.output;
    EXPECT_NE(picked.output.find("click 216"), std::string::npos) << picked.output;
    EXPECT_NE(picked.output.find("DllCanUnloadNow: 0x00000000"), std::string::npos)
        << picked.output;

    auto tileColour = [&](DWORD override) {
        ::RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, L"Override", REG_DWORD, &override,
                          sizeof override);
        const std::wstring tiles = dir_.file(override ? L"auto" : L"picked");
        const ProgramRun run =
            RunProgram(BesideTest(L"kadrix-thumb.exe"),
                       L"--size 96 \"" + clip + L"\" --out \"" + tiles + L"\"", {}, {}, 60000);
        EXPECT_EQ(run.exitCode, 0u);
        const Picture tile = LoadPicture(tiles + L"\\" + NameOf(clip) + L".png");
        return tile.empty() ? Rgb{-1, -1, -1} : tile.mean(40, 40, 16, 16);
    };
    EXPECT_TRUE(Near(tileColour(0), kSegmentColours[5], 40)) << tileColour(0);
    // The automatic thumbnail, at 1 % of the clip by default: segment 0.
    EXPECT_TRUE(Near(tileColour(1), kSegmentColours[0], 40)) << tileColour(1);
}

} // namespace
