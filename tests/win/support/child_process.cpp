#include "support/child_process.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>

namespace kadrix::test {
namespace {

struct ArgvDeleter
{
    void operator()(LPWSTR* argv) const { ::LocalFree(argv); }
};

std::wstring UniqueName(const wchar_t* what)
{
    static LONG counter = 0;
    return L"kadrix-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
           std::to_wstring(::InterlockedIncrement(&counter)) + L"-" + what;
}

// hold-file PATH READY RELEASE
int HoldFile(const wchar_t* path, const wchar_t* ready, const wchar_t* release)
{
    unique_file file(::CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 2;
    unique_handle readyEvent(::OpenEventW(EVENT_MODIFY_STATE, FALSE, ready));
    unique_handle releaseEvent(::OpenEventW(SYNCHRONIZE, FALSE, release));
    if (!readyEvent || !releaseEvent)
        return 3;
    ::SetEvent(readyEvent.get());
    return ::WaitForSingleObject(releaseEvent.get(), 60000) == WAIT_OBJECT_0 ? 0 : 4;
}

} // namespace

bool RunChildCommand(int* exitCode)
{
    int argc = 0;
    std::unique_ptr<LPWSTR, ArgvDeleter> argv(::CommandLineToArgvW(::GetCommandLineW(), &argc));
    if (!argv || argc < 3 || std::wstring(argv.get()[1]) != L"--child")
        return false;
    const std::wstring command = argv.get()[2];
    if (command == L"hold-file" && argc == 6)
        *exitCode = HoldFile(argv.get()[3], argv.get()[4], argv.get()[5]);
    else
        *exitCode = 1;
    return true;
}

FileLockedByChild::FileLockedByChild(const std::wstring& path)
{
    const std::wstring readyName = UniqueName(L"ready");
    const std::wstring releaseName = UniqueName(L"release");
    ready_.reset(::CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.reset(::CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    if (!ready_ || !release_)
        return;

    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" --child hold-file \"" + path +
                               L"\" " + readyName + L" " + releaseName;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        return;
    ::CloseHandle(info.hThread);
    process_.reset(info.hProcess);

    HANDLE waits[] = {ready_.get(), process_.get()};
    locked_ = ::WaitForMultipleObjects(2, waits, FALSE, 20000) == WAIT_OBJECT_0;
}

FileLockedByChild::~FileLockedByChild()
{
    if (release_)
        ::SetEvent(release_.get());
    if (process_)
        ::WaitForSingleObject(process_.get(), 20000);
}

} // namespace kadrix::test
