// The application object of a library that shows its windows inside another
// program (a shell extension's property page): what the framework needs to
// find the library's resources, and whether the library may be unloaded.
// One static instance per library; its entry point starts and stops it.
#pragma once

#include <windows.h>

namespace kadrix::winui {

class LibraryApplication
{
public:
    LibraryApplication(const LibraryApplication&) = delete;
    LibraryApplication& operator=(const LibraryApplication&) = delete;

    // The library's own application object, or null before it started.
    static LibraryApplication* Instance();

    // From the library's entry point on process attach: the framework is
    // set up for the module (its instance handle, an empty command line),
    // then InitInstance runs. False refuses the load.
    bool Start(HINSTANCE module);
    // On process detach: ExitInstance.
    void Stop();

    // Sets up the framework for a call into the library: the module whose
    // resources the windows use, the host's command line, the show state.
    void InitModule(HINSTANCE resources, const wchar_t* commandLine, int showState);

    HINSTANCE Resources() const { return resources_; }
    const wchar_t* CommandLine() const { return commandLine_; }
    int ShowState() const { return showState_; }

    // The framework's part of the unload rule: no page of the library lives.
    bool CanUnloadNow() const;

    virtual ~LibraryApplication() = default;

protected:
    LibraryApplication() = default;

    virtual bool InitInstance() { return true; }
    virtual int ExitInstance() { return 0; }

private:
    HINSTANCE resources_ = nullptr;
    const wchar_t* commandLine_ = L"";
    int showState_ = 0;
};

} // namespace kadrix::winui
