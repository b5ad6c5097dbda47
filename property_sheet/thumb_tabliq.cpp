#include "property_sheet/thumb_tabliq.h"

#include "base/exception_boundary.h"
#include "property_sheet/ui_prop_page.h"
#include "winui/common_controls.h"
#include "winui/library_application.h"

#include <shellapi.h>

#include <new>

namespace kadrix {

CThumbTabliq::~CThumbTabliq()
{
    delete[] path_;
}

STDMETHODIMP CThumbTabliq::Initialize(PCIDLIST_ABSOLUTE, IDataObject* data, HKEY)
{
    return GuardHResult([&]() -> HRESULT {
        if (!data)
            return E_INVALIDARG;
        FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium{};
        if (FAILED(data->GetData(&format, &medium)))
            return E_INVALIDARG;
        const auto drop = static_cast<HDROP>(::GlobalLock(medium.hGlobal));
        if (!drop) {
            ::ReleaseStgMedium(&medium);
            return E_INVALIDARG;
        }
        const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        wchar_t* buffer = new (std::nothrow) wchar_t[MAX_PATH];
        HRESULT hr = E_OUTOFMEMORY;
        if (buffer) {
            buffer[0] = L'\0';
            fileCount_ = count;
            // A path that does not fit is not cut: the cut one would name
            // another file, and a frame would be stored into it. Such a file
            // gets no page.
            if (count == 1 && ::DragQueryFileW(drop, 0, nullptr, 0) >= MAX_PATH)
                fileCount_ = 0;
            else if (count == 1)
                ::DragQueryFileW(drop, 0, buffer, MAX_PATH);
            delete[] path_;
            path_ = buffer;
            hr = S_OK;
        }
        ::GlobalUnlock(medium.hGlobal);
        ::ReleaseStgMedium(&medium);
        return hr;
    });
}

STDMETHODIMP CThumbTabliq::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam)
{
    return GuardHResult([&] { return AddThumbnailPage(addPage, lParam); });
}

HRESULT CThumbTabliq::AddThumbnailPage(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam)
{
    // A multiple selection gets no page; nor does a second call, which finds
    // the path already handed to the first call's page.
    if (fileCount_ != 1 || !path_)
        return S_FALSE;
    if (!addPage)
        return E_INVALIDARG;

    if (auto* application = winui::LibraryApplication::Instance())
        application->InitModule(application->Resources(), ::GetCommandLineW(), 0);

    CUIPropPage* page = new (std::nothrow) CUIPropPage();
    if (!page)
        return E_OUTOFMEMORY;
    // A page that could not be created has deleted itself: there is nothing
    // to hand the sheet.
    if (HPROPSHEETPAGE handle = page->CreatePage(path_)) {
        // A sheet that does not take the page leaves it to us to destroy,
        // which releases the page object.
        if (!addPage(handle, lParam))
            (void)winui::DestroyPropertySheetPageInContext(handle);
    }
    delete[] path_;
    path_ = nullptr;
    return S_OK;
}

STDMETHODIMP CThumbTabliq::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM)
{
    return E_NOTIMPL;
}

} // namespace kadrix
