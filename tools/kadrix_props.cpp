// kadrix-props: opens the Properties dialog of files the way Explorer does,
// with the property sheet handlers their file type names, and can save what
// it shows as a PNG file.
//
//   kadrix-props [--dll PATH [--clsid {...}]] [--click ID[:X[%],Y[%]]]...
//                [--focus ID]... [--screenshot FILE] [--close-after MS] FILE...
//
// Without --dll the handlers are found in HKEY_CLASSES_ROOT as the shell
// finds them: the file type is the extension's ProgID (or the extension key
// when it names none), and each key below its ShellEx\PropertySheetHandlers
// names a class, by its own name or by its default value. With --dll the
// library is loaded directly and asked for the class through
// DllGetClassObject. Every handler gets a real data object with the files as
// a drop list, then Initialize and AddPages; the pages it adds are shown in a
// real property sheet. Each call's HRESULT is printed, and the sheet's tabs.
// --click presses the left mouse button on a control of the shown page (at a
// point of it, or its middle), one click every 700 ms from 1.5 s after the
// sheet shows, as a user would; --focus moves the keyboard focus to a control
// in the same turn, as Tab does (the focus cues then show).
#include "base/com_ptr.h"
#include "base/drop_files.h"
#include "base/image_encoders.h"
#include "base/module_path.h"
#include "base/screen_capture.h"
#include "base/server_library.h"
#include "base/unique_handle.h"
#include "product/identifiers.h"

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace kadrix {
namespace {

// A click on a control of the page, at a point given in pixels or in
// percent of the control's size; its middle when none is given.
struct Click
{
    int id = 0;
    bool focus = false; // the keyboard's focus, not a click
    bool given = false;
    long x = 50, y = 50;
    bool xPercent = true, yPercent = true;
};

// "ID", or "ID:X,Y" where X and Y are pixels, or percent with a '%'.
bool ParseClick(const wchar_t* text, Click* click)
{
    wchar_t* end = nullptr;
    click->id = static_cast<int>(std::wcstol(text, &end, 10));
    if (end == text)
        return false;
    if (*end == L'\0')
        return true;
    auto coordinate = [&end](long* value, bool* percent) {
        const wchar_t* start = end + 1;
        *value = std::wcstol(start, &end, 10);
        *percent = *end == L'%';
        if (*percent)
            ++end;
        return end != start;
    };
    if (*end != L':' || !coordinate(&click->x, &click->xPercent) || *end != L',' ||
        !coordinate(&click->y, &click->yPercent) || *end != L'\0')
        return false;
    click->given = true;
    return true;
}

struct Options
{
    std::wstring dll;
    std::vector<Click> clicks;
    CLSID clsid = CLSID_ThumbTabliq;
    std::wstring screenshot;
    std::optional<DWORD> closeAfterMs;
    std::vector<std::wstring> files;
};

void Usage()
{
    std::fwprintf(
        stderr, L"usage: kadrix-props [--dll PATH [--clsid {CLSID}]] [--click ID[:X[%],Y[%]]]...\n"
                L"                    [--focus ID]... [--screenshot FILE] [--close-after MS] FILE...\n");
}

bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--dll" && hasValue) {
            options->dll = argv[++i];
        } else if (arg == L"--clsid" && hasValue) {
            if (FAILED(::CLSIDFromString(argv[++i], &options->clsid)))
                return false;
        } else if (arg == L"--screenshot" && hasValue) {
            options->screenshot = argv[++i];
        } else if ((arg == L"--click" || arg == L"--focus") && hasValue) {
            Click click;
            if (!ParseClick(argv[++i], &click))
                return false;
            click.focus = arg == L"--focus";
            options->clicks.push_back(click);
        } else if (arg == L"--close-after" && hasValue) {
            options->closeAfterMs = static_cast<DWORD>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (arg.rfind(L"--", 0) == 0) {
            return false;
        } else {
            options->files.push_back(arg);
        }
    }
    return !options->files.empty();
}

void Report(const wchar_t* what, HRESULT hr)
{
    std::wprintf(L"%ls: 0x%08lX\n", what, static_cast<unsigned long>(hr));
}

std::wstring ReadDefault(HKEY root, const std::wstring& path)
{
    wchar_t text[512] = {};
    DWORD size = sizeof text;
    if (::RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return {};
    return text;
}

// The file type key the shell reads for a file: the extension's ProgID, or
// the extension key itself.
std::wstring FileTypeOf(const std::wstring& file)
{
    const std::size_t dot = file.find_last_of(L'.');
    const std::size_t slash = file.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return {};
    const std::wstring extension = file.substr(dot);
    const std::wstring progId = ReadDefault(HKEY_CLASSES_ROOT, extension);
    unique_hkey key;
    if (!progId.empty() &&
        ::RegOpenKeyExW(HKEY_CLASSES_ROOT, progId.c_str(), 0, KEY_READ, key.put()) == ERROR_SUCCESS)
        return progId;
    return extension;
}

std::vector<CLSID> RegisteredHandlers(const std::wstring& fileType)
{
    std::vector<CLSID> handlers;
    const std::wstring path =
        fileType + L"\\" + ids::kShellExKey + L"\\" + ids::kPropertySheetHandlersKey;
    unique_hkey key;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return handlers;
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        CLSID clsid;
        std::wstring text = ReadDefault(key.get(), name);
        if (SUCCEEDED(::CLSIDFromString(name, &clsid)) ||
            (!text.empty() && SUCCEEDED(::CLSIDFromString(text.c_str(), &clsid))))
            handlers.push_back(clsid);
    }
    return handlers;
}

struct Pages
{
    std::vector<HPROPSHEETPAGE> handles;
};

BOOL CALLBACK AddPage(HPROPSHEETPAGE page, LPARAM lParam)
{
    auto* pages = reinterpret_cast<Pages*>(lParam);
    if (pages->handles.size() >= 100)
        return FALSE;
    pages->handles.push_back(page);
    return TRUE;
}

// One handler: created, initialised with the selection, asked for pages.
void RunHandler(com_ptr<IUnknown> handler, IDataObject* selection, const std::wstring& fileType,
                Pages* pages)
{
    auto init = handler.try_query<IShellExtInit>();
    auto sheet = handler.try_query<IShellPropSheetExt>();
    if (!init || !sheet) {
        Report(L"QueryInterface", E_NOINTERFACE);
        return;
    }
    unique_hkey progId;
    if (!fileType.empty())
        (void)::RegOpenKeyExW(HKEY_CLASSES_ROOT, fileType.c_str(), 0, KEY_READ, progId.put());
    HRESULT hr = init->Initialize(nullptr, selection, progId.get());
    Report(L"Initialize", hr);
    if (FAILED(hr))
        return;
    const std::size_t before = pages->handles.size();
    hr = sheet->AddPages(&AddPage, reinterpret_cast<LPARAM>(pages));
    Report(L"AddPages", hr);
    std::wprintf(L"pages added: %u\n", static_cast<unsigned>(pages->handles.size() - before));
}

void PrintTabs(HWND sheet)
{
    HWND tabs = PropSheet_GetTabControl(sheet);
    const int count = tabs ? TabCtrl_GetItemCount(tabs) : 0;
    std::wprintf(L"tabs: %d\n", count);
    for (int i = 0; i < count; ++i) {
        wchar_t text[128] = {};
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = 128;
        ::SendMessageW(tabs, TCM_GETITEMW, i, reinterpret_cast<LPARAM>(&item));
        std::wprintf(L"tab %d: %ls\n", i + 1, text);
    }
}

struct ControlSearch
{
    int id;
    HWND found;
};

BOOL CALLBACK FindControl(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ControlSearch*>(param);
    if (::GetDlgCtrlID(child) != search->id || !::IsWindowVisible(child))
        return TRUE;
    search->found = child;
    return FALSE;
}

void PerformClick(HWND sheet, const Click& click)
{
    ControlSearch search{click.id, nullptr};
    ::EnumChildWindows(PropSheet_GetCurrentPageHwnd(sheet), &FindControl,
                       reinterpret_cast<LPARAM>(&search));
    if (!search.found) {
        std::wprintf(L"click %d: no such control\n", click.id);
        return;
    }
    if (click.focus) {
        ::SetFocus(search.found);
        ::SendMessageW(sheet, WM_UPDATEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
        std::wprintf(L"focus %d\n", click.id);
        return;
    }
    RECT area{};
    ::GetClientRect(search.found, &area);
    const POINT at{click.xPercent ? area.right * click.x / 100 : click.x,
                   click.yPercent ? area.bottom * click.y / 100 : click.y};
    const LPARAM point = MAKELPARAM(at.x, at.y);
    ::SendMessageW(search.found, WM_MOUSEMOVE, 0, point);
    ::SendMessageW(search.found, WM_LBUTTONDOWN, MK_LBUTTON, point);
    ::SendMessageW(search.found, WM_LBUTTONUP, 0, point);
    std::wprintf(L"click %d at %ld,%ld\n", click.id, at.x, at.y);
}

// Shows the pages in a modeless sheet until the user closes it, or until
// --close-after has passed (with a screenshot first, when asked).
int ShowSheet(const Options& options, Pages& pages)
{
    // Titled as Explorer titles it.
    const std::wstring caption = FileNameOf(options.files.front()) + L" Properties";
    PROPSHEETHEADERW header{};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS | PSH_NOAPPLYNOW;
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.handles.size());
    header.phpage = pages.handles.data();
    const auto sheet = reinterpret_cast<HWND>(::PropertySheetW(&header));
    pages.handles.clear(); // the sheet owns them now, or has destroyed them
    if (!sheet || sheet == reinterpret_cast<HWND>(-1)) {
        std::wprintf(L"PropertySheet: failed (error %lu)\n", ::GetLastError());
        return 1;
    }
    std::fflush(stdout);
    PrintTabs(sheet);
    std::fflush(stdout);

    const ULONGLONG shown = ::GetTickCount64();
    const ULONGLONG closeAt = options.closeAfterMs ? shown + *options.closeAfterMs : ~0ULL;
    std::size_t clicked = 0;
    MSG message;
    while (PropSheet_GetCurrentPageHwnd(sheet)) {
        if (clicked < options.clicks.size() && ::GetTickCount64() >= shown + 1500 + 700 * clicked) {
            PerformClick(sheet, options.clicks[clicked++]);
            std::fflush(stdout);
        }
        if (::GetTickCount64() >= closeAt) {
            if (!options.screenshot.empty()) {
                const unique_hbitmap shot = CaptureWindowArea(sheet);
                const bool saved = shot && SavePng(shot.get(), options.screenshot);
                std::wprintf(L"screenshot: %ls%ls\n", options.screenshot.c_str(),
                             saved ? L"" : L" (failed)");
            }
            break;
        }
        // Messages for the sheet go through it, so Tab and Esc work.
        const DWORD wait = ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        (void)wait;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                break;
            if (!PropSheet_IsDialogMessage(sheet, &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
    ::DestroyWindow(sheet);
    return 0;
}

int Run(const Options& options)
{
    std::optional<ServerLibrary> library;
    if (!options.dll.empty()) {
        library.emplace(options.dll.c_str());
        if (!*library) {
            std::fwprintf(stderr, L"kadrix-props: can't load %ls (error %lu)\n",
                          options.dll.c_str(), ::GetLastError());
            return 2;
        }
    }

    com_ptr<IDataObject> selection;
    HRESULT hr = CreateDropFilesDataObject(options.files, selection.put());
    if (FAILED(hr)) {
        Report(L"data object", hr);
        return 2;
    }
    const std::wstring fileType = FileTypeOf(options.files.front());

    Pages pages;
    {
        std::vector<com_ptr<IUnknown>> handlers;
        if (library) {
            com_ptr<IUnknown> handler;
            hr = library->CreateInstance(options.clsid, IID_IUnknown, handler.put_void());
            Report(L"CreateInstance", hr);
            if (handler)
                handlers.push_back(handler);
        } else {
            for (const CLSID& clsid : RegisteredHandlers(fileType)) {
                com_ptr<IUnknown> handler;
                hr = ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                        handler.put_void());
                wchar_t name[40] = {};
                ::StringFromGUID2(clsid, name, 40);
                std::wprintf(L"handler %ls\n", name);
                Report(L"CoCreateInstance", hr);
                if (handler)
                    handlers.push_back(handler);
            }
        }
        for (const com_ptr<IUnknown>& handler : handlers)
            RunHandler(handler, selection.get(), fileType, &pages);
        // The handlers go before the sheet shows, as Explorer releases them:
        // the pages must not depend on them.
    }

    int result = 0;
    if (pages.handles.empty())
        std::wprintf(L"tabs: 0\n");
    else
        result = ShowSheet(options, pages);

    selection.reset();
    if (library)
        Report(L"DllCanUnloadNow", library->CanUnloadNow());
    return result;
}

} // namespace
} // namespace kadrix

int wmain(int argc, wchar_t** argv)
{
    kadrix::Options options;
    if (!kadrix::ParseOptions(argc, argv, &options)) {
        kadrix::Usage();
        return 2;
    }
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    // An apartment like Explorer's, where the handlers' objects live.
    if (FAILED(::OleInitialize(nullptr)))
        return 2;
    const int result = kadrix::Run(options);
    std::fflush(stdout);
    ::OleUninitialize();
    return result;
}
