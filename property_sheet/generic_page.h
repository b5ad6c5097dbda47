// The page base of Tabliq: turns a dialog-based property page object into a
// shell page handle, and owns the page's copy of the video file's path.
#pragma once

#include "winui/property_page.h"

#include <memory>

namespace kadrix {

class CGenericPage : public winui::PropertyPage
{
public:
    // The page of dialog template `templateId` from the library's resources.
    // With autoDelete set, a page whose creation fails deletes itself.
    CGenericPage(UINT templateId, BOOL autoDelete);

    // Stores the page's own copy of the path (null stays null), then creates
    // the shell's page handle under the library's activation context. Null
    // when that fails; the page object is then gone (AutoDelete).
    virtual HPROPSHEETPAGE CreatePage(const wchar_t* path);
    // Deletes the page object when the auto-delete flag is set.
    virtual void AutoDelete();

protected:
    const wchar_t* Path() const { return path_.get(); }

    // The shell has let go of a page it took: the object goes with it. (Its
    // window, if it ever had one, is destroyed by then.)
    void OnRelease() override;

private:
    std::unique_ptr<wchar_t[]> path_;
    BOOL autoDelete_;
    bool handedOver_ = false; // a page handle exists; the release callback frees the object
};

} // namespace kadrix
