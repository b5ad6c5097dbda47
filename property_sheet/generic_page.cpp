#include "property_sheet/generic_page.h"

#include "winui/common_controls.h"
#include "winui/library_application.h"

#include <cwchar>
#include <new>

namespace kadrix {

namespace {

HINSTANCE LibraryResources()
{
    const auto* application = winui::LibraryApplication::Instance();
    return application ? application->Resources() : nullptr;
}

} // namespace

CGenericPage::CGenericPage(UINT templateId, BOOL autoDelete)
    : PropertyPage(LibraryResources(), templateId), autoDelete_(autoDelete)
{
}

HPROPSHEETPAGE CGenericPage::CreatePage(const wchar_t* path)
{
    if (path) {
        const std::size_t length = std::wcslen(path);
        path_.reset(new (std::nothrow) wchar_t[length + 1]);
        if (!path_) {
            AutoDelete();
            return nullptr;
        }
        std::wmemcpy(path_.get(), path, length + 1);
    }
    PROPSHEETPAGEW description = Description();
    HPROPSHEETPAGE handle = PrepareTemplate(description)
                                ? winui::CreatePropertySheetPageInContext(description)
                                : nullptr;
    if (!handle) {
        AutoDelete();
        return nullptr;
    }
    handedOver_ = true;
    return handle;
}

void CGenericPage::AutoDelete()
{
    if (autoDelete_)
        delete this;
}

void CGenericPage::OnRelease()
{
    // A release during a creation that failed is not ours to act on:
    // CreatePage frees the object then, once.
    if (handedOver_)
        delete this;
}

} // namespace kadrix
