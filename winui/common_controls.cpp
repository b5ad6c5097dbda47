#include "winui/common_controls.h"

#include "base/module_path.h"
#include "base/proc_address.h"

#include <cstddef>

namespace kadrix::winui {
namespace {

// The library's own manifest, when it carries one.
constexpr WORD kLibraryManifest = 3;

using CreatePageFn = HPROPSHEETPAGE(WINAPI*)(LPCPROPSHEETPAGEW);
using DestroyPageFn = BOOL(WINAPI*)(HPROPSHEETPAGE);
using TrackMouseEventFn = BOOL(WINAPI*)(LPTRACKMOUSEEVENT);

struct CommonControls
{
    HMODULE library = nullptr;
    bool contextFound = false;
    HANDLE context = nullptr; // null: the process's default context
    HMODULE comctl32 = nullptr;
    CreatePageFn createPage = nullptr;
    DestroyPageFn destroyPage = nullptr;
    TrackMouseEventFn trackMouseEvent = nullptr;
};

// Process-wide and written on first use: every caller is the thread of a
// window of the library's, and the values found are the same for all.
CommonControls g_controls;

HANDLE LibraryContext()
{
    if (g_controls.contextFound)
        return g_controls.context;
    g_controls.contextFound = true;
    const std::wstring path = ModulePath(g_controls.library);
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.dwFlags = ACTCTX_FLAG_HMODULE_VALID | ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.hModule = g_controls.library;
    request.lpResourceName = MAKEINTRESOURCEW(kLibraryManifest);
    HANDLE own = ::CreateActCtxW(&request);
    if (own != INVALID_HANDLE_VALUE) {
        g_controls.context = own;
    } else {
        // No manifest of our own: the context that is active now, the host's.
        HANDLE current = nullptr;
        g_controls.context = ::GetCurrentActCtx(&current) ? current : nullptr;
    }
    return g_controls.context;
}

// Runs a call with the library's context active.
class ContextScope
{
public:
    ContextScope() : active_(::ActivateActCtx(LibraryContext(), &cookie_) != FALSE) {}
    ~ContextScope()
    {
        if (active_)
            ::DeactivateActCtx(0, cookie_);
    }
    ContextScope(const ContextScope&) = delete;
    ContextScope& operator=(const ContextScope&) = delete;

private:
    ULONG_PTR cookie_ = 0;
    bool active_;
};

// Called with the context active, so the side-by-side Comctl32 the context
// names is the one loaded.
bool FindEntryPoints()
{
    if (g_controls.comctl32)
        return true;
    HMODULE module = ::LoadLibraryW(L"Comctl32.dll");
    if (!module)
        return false;
    g_controls.createPage = GetProcAddressAs<CreatePageFn>(module, "CreatePropertySheetPageW");
    g_controls.destroyPage = GetProcAddressAs<DestroyPageFn>(module, "DestroyPropertySheetPage");
    g_controls.trackMouseEvent = GetProcAddressAs<TrackMouseEventFn>(module, "_TrackMouseEvent");
    g_controls.comctl32 = module; // kept for the life of the process
    return true;
}

// Runs the call under the context and hands back its result with its last
// error (leaving the context must not overwrite it).
template <typename Call> auto InContext(Call call)
{
    decltype(call()) result{};
    DWORD error = 0;
    {
        ContextScope scope;
        result = FindEntryPoints() ? call() : decltype(call()){};
        error = result ? ERROR_SUCCESS : ::GetLastError();
    }
    if (!result)
        ::SetLastError(error);
    return result;
}

} // namespace

void SetActivationContextModule(HMODULE library)
{
    g_controls.library = library;
}

HPROPSHEETPAGE CreatePropertySheetPageInContext(const PROPSHEETPAGEW& page)
{
    return InContext([&]() -> HPROPSHEETPAGE {
        if (!g_controls.createPage) {
            ::SetLastError(ERROR_PROC_NOT_FOUND);
            return nullptr;
        }
        PROPSHEETPAGEW marked = page;
        constexpr DWORD kWithContext = offsetof(PROPSHEETPAGEW, hActCtx) + sizeof(HANDLE);
        if (!(marked.dwFlags & PSP_USEFUSIONCONTEXT) && marked.dwSize >= kWithContext) {
            marked.dwFlags |= PSP_USEFUSIONCONTEXT;
            marked.hActCtx = LibraryContext();
        }
        return g_controls.createPage(&marked);
    });
}

BOOL DestroyPropertySheetPageInContext(HPROPSHEETPAGE page)
{
    return InContext(
        [&]() -> BOOL { return g_controls.destroyPage ? g_controls.destroyPage(page) : FALSE; });
}

BOOL TrackMouseEventInContext(TRACKMOUSEEVENT* track)
{
    return InContext([&]() -> BOOL {
        if (!g_controls.trackMouseEvent) {
            ::SetLastError(ERROR_PROC_NOT_FOUND);
            return FALSE;
        }
        return g_controls.trackMouseEvent(track);
    });
}

HWND CreateToolTipInContext(HWND owner)
{
    return InContext([&]() -> HWND {
        INITCOMMONCONTROLSEX classes{sizeof classes, ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&classes);
        return ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                                 WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                                 ::GetModuleHandleW(nullptr), nullptr);
    });
}

} // namespace kadrix::winui
