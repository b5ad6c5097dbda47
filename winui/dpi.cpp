#include "winui/dpi.h"

#include "base/proc_address.h"
#include "base/unique_handle.h"

namespace kadrix::winui {
namespace {

// Looked up at run time: Windows 7 and 8 have none of them.
struct DpiFunctions
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    using AdjustWindowRectExForDpiFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);

    GetDpiForWindowFn getDpiForWindow = nullptr;
    AdjustWindowRectExForDpiFn adjustWindowRectExForDpi = nullptr;
};

const DpiFunctions& Functions()
{
    static const DpiFunctions functions = [] {
        DpiFunctions found;
        if (const HMODULE user = ::GetModuleHandleW(L"user32.dll")) {
            found.getDpiForWindow =
                GetProcAddressAs<DpiFunctions::GetDpiForWindowFn>(user, "GetDpiForWindow");
            found.adjustWindowRectExForDpi =
                GetProcAddressAs<DpiFunctions::AdjustWindowRectExForDpiFn>(
                    user, "AdjustWindowRectExForDpi");
        }
        return found;
    }();
    return functions;
}

} // namespace

int WindowDpi(HWND window)
{
    if (window && Functions().getDpiForWindow)
        if (const UINT dpi = Functions().getDpiForWindow(window))
            return static_cast<int>(dpi);
    const window_dc dc(window);
    const int dpi = dc ? ::GetDeviceCaps(dc.get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : kBaseDpi;
}

void AdjustFrameForDpi(RECT& rect, DWORD style, DWORD exStyle, int dpi)
{
    if (Functions().adjustWindowRectExForDpi &&
        Functions().adjustWindowRectExForDpi(&rect, style, FALSE, exStyle, static_cast<UINT>(dpi)))
        return;
    ::AdjustWindowRectEx(&rect, style, FALSE, exStyle);
}


} // namespace kadrix::winui
