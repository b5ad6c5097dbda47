#include "setup/program.h"

#include "base/gdiplus.h"

#include "setup/add_association.h"
#include "setup/cache_cleaning.h"
#include "setup/core/switches.h"
#include "setup/main_form.h"
#include "winui/application.h"

#include <windows.h>
#include <shellapi.h>
#include <versionhelpers.h>

#include <memory>

namespace kadrix::setup {
namespace {

// Where the error arose, then its message.
std::wstring UncaughtErrorText(Switch command)
{
    const wchar_t* where = command == Switch::Register     ? L"while running -register"
                           : command == Switch::Unregister ? L"while running -unregister"
                           : command == Switch::CleanCache ? L"while running -cleancache"
                                                           : L"at start";
    return L"Error in Zelkon " + std::wstring(where) + L":\r\n" + winui::CurrentExceptionMessage();
}

// Set by an installer with nobody to answer (see switches.h).
bool Unattended()
{
    wchar_t value[2] = {};
    return ::GetEnvironmentVariableW(kUnattendedVariable, value, 2) == 1 && value[0] == L'1';
}

void RunSwitch(Switch command, TForm1& form, winui::Application& application)
{
    switch (command) {
    case Switch::CleanCache:
        if (::IsWindowsVistaOrGreater())
            CleanThumbnailCache();
        break;
    case Switch::Register:
        for (int i = 0; i < form.listbox_FileTypes.Count(); ++i)
            form.RegisterVideoFile(form.listbox_FileTypes.Item(i));
        break;
    case Switch::Unregister:
        for (int i = 0; i < form.listbox_FileTypes.Count(); ++i)
            form.UnRegisterVideoFile(form.listbox_FileTypes.Item(i));
        break;
    case Switch::None:
        return;
    }
    // The window still shows for a moment; the loop then ends at once.
    application.Terminate();
}

} // namespace

std::vector<std::wstring> CommandLineParameters()
{
    int count = 0;
    std::unique_ptr<LPWSTR, decltype(&::LocalFree)> arguments(
        ::CommandLineToArgvW(::GetCommandLineW(), &count), &::LocalFree);
    std::vector<std::wstring> parameters;
    for (int i = 1; arguments && i < count; ++i)
        parameters.emplace_back(arguments.get()[i]);
    return parameters;
}

int RunProgram(const std::vector<std::wstring>& parameters)
{
    // GDI+ serves every drawing of the appearance preview, for the whole run.
    GdiplusSession gdiplus;
    winui::Application application(L"Kadrix setup");
    TForm1 form1;
    Tform_AddAssociation form_AddAssociation;
    const Switch command = parameters.empty() ? Switch::None : SwitchOf(parameters.front());
    // Unattended, every box the run would show is left out and counted.
    const bool unattended = command != Switch::None && Unattended();
    bool boxLeftOut = false;
    if (unattended)
        application.SetMessageBoxHook([&](HWND, const std::wstring&, const std::wstring&, UINT) {
            boxLeftOut = true;
            return IDOK;
        });
    try {
        form1.Create();
        RunSwitch(command, form1, application);
    } catch (...) {
        // Not the window's error box: an installer's run that failed ends
        // here, with the failure in the exit code.
        if (!unattended)
            ::MessageBoxW(nullptr, UncaughtErrorText(command).c_str(), L"Application Error",
                          MB_OK | MB_ICONERROR);
        return 1;
    }
    form_AddAssociation.Create(form1.hwnd());
    form1.SetAddAssociationForm(&form_AddAssociation);
    application.Run(form1);
    return boxLeftOut ? 1 : 0;
}

} // namespace kadrix::setup
