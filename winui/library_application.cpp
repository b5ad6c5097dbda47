#include "winui/library_application.h"

#include "winui/common_controls.h"
#include "winui/property_page.h"

namespace kadrix::winui {
namespace {

LibraryApplication* g_application = nullptr;

} // namespace

LibraryApplication* LibraryApplication::Instance()
{
    return g_application;
}

bool LibraryApplication::Start(HINSTANCE module)
{
    g_application = this;
    InitModule(module, L"", 0);
    SetActivationContextModule(module);
    if (InitInstance())
        return true;
    g_application = nullptr;
    return false;
}

void LibraryApplication::Stop()
{
    (void)ExitInstance();
    if (g_application == this)
        g_application = nullptr;
}

void LibraryApplication::InitModule(HINSTANCE resources, const wchar_t* commandLine, int showState)
{
    resources_ = resources;
    commandLine_ = commandLine ? commandLine : L"";
    showState_ = showState;
}

bool LibraryApplication::CanUnloadNow() const
{
    return PropertyPage::LivePages() == 0;
}

} // namespace kadrix::winui
