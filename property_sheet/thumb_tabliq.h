// The property sheet handler: Explorer hands it the selection, then asks it
// to add pages. For exactly one file it adds one page, the thumbnail page
// titled "Kadrix".
#pragma once

#include "com/module.h"

#include <windows.h>
#include <shlobj.h>

namespace kadrix {

class CThumbTabliq final : public com::ServerObject<IShellExtInit, IShellPropSheetExt>
{
public:
    CThumbTabliq() = default;

    // IShellExtInit: records the selection from the data object's drop list.
    STDMETHODIMP Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* data, HKEY progId) override;

    // IShellPropSheetExt
    STDMETHODIMP AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) override;
    STDMETHODIMP ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith,
                             LPARAM lParam) override;

private:
    ~CThumbTabliq() override;

    HRESULT AddThumbnailPage(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam);

    wchar_t* path_ = nullptr; // MAX_PATH characters; freed once the page has its copy
    UINT fileCount_ = 0;
};

} // namespace kadrix
