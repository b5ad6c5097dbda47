#include "winui/property_page.h"

#include <cstddef>

namespace kadrix::winui {
namespace {

// The answer of these messages is the dialog procedure's own return value;
// every other message answers through DWLP_MSGRESULT.
bool AnswersDirectly(UINT message)
{
    switch (message) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return true;
    default:
        return false;
    }
}

} // namespace

std::atomic<long> PropertyPage::livePages_{0};

PropertyPage::PropertyPage(HINSTANCE resources, UINT templateId)
{
    ++livePages_;
    description_.dwSize = offsetof(PROPSHEETPAGEW, hActCtx) + sizeof(HANDLE);
    description_.dwFlags = PSP_DEFAULT | PSP_USECALLBACK;
    description_.hInstance = resources;
    description_.pszTemplate = MAKEINTRESOURCEW(templateId);
    description_.pfnDlgProc = &PropertyPage::DialogProc;
    description_.lParam = reinterpret_cast<LPARAM>(this);
    description_.pfnCallback = &PropertyPage::PageCallback;
}

PropertyPage::~PropertyPage()
{
    --livePages_;
}

long PropertyPage::LivePages()
{
    return livePages_.load();
}

bool PropertyPage::PrepareTemplate(PROPSHEETPAGEW& description) const
{
    HRSRC found = ::FindResourceW(description.hInstance, description.pszTemplate, RT_DIALOG);
    HGLOBAL loaded = found ? ::LoadResource(description.hInstance, found) : nullptr;
    const void* dialog = loaded ? ::LockResource(loaded) : nullptr;
    if (!dialog)
        return false;
    // The resource stays mapped as long as the library: no copy is needed.
    description.pResource = static_cast<const DLGTEMPLATE*>(dialog);
    description.dwFlags |= PSP_DLGINDIRECT;
    return true;
}

INT_PTR CALLBACK PropertyPage::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        // The sheet hands over its copy of the description; ours is in lParam.
        auto* self = reinterpret_cast<PropertyPage*>(
            reinterpret_cast<const PROPSHEETPAGEW*>(lParam)->lParam);
        self->SetHandle(dialog);
        ::SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<PropertyPage*>(::GetWindowLongPtrW(dialog, DWLP_USER));
    if (!self)
        return FALSE;

    LRESULT result = 0;
    bool handled;
    if (message == WM_INITDIALOG) {
        handled = true;
        result = TRUE;
        try {
            result = self->OnInitDialog();
        } catch (...) {
            self->OnError();
        }
    } else {
        handled = self->Dispatch(message, wParam, lParam, result);
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(dialog, DWLP_USER, 0);
        self->SetHandle(nullptr);
    }
    if (!handled)
        return FALSE;
    if (AnswersDirectly(message))
        return static_cast<INT_PTR>(result);
    ::SetWindowLongPtrW(dialog, DWLP_MSGRESULT, result);
    return TRUE;
}

UINT CALLBACK PropertyPage::PageCallback(HWND, UINT message, PROPSHEETPAGEW* page)
{
    if (message == PSPCB_RELEASE && page) {
        auto* self = reinterpret_cast<PropertyPage*>(page->lParam);
        try {
            self->OnRelease();
        } catch (...) {
            // Nothing may leave a callback of the sheet's.
        }
    }
    return 1; // PSPCB_CREATE: let the page be created
}

} // namespace kadrix::winui
