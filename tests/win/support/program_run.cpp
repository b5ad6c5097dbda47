#include "support/program_run.h"

#include "base/unique_handle.h"

#include <algorithm>
#include <cwchar>
#include <set>

namespace kadrix::test {
namespace {

std::wstring TextOf(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The environment block: this process's variables with the overrides.
std::wstring EnvironmentBlock(const Environment& overrides)
{
    std::vector<std::wstring> variables;
    if (wchar_t* strings = ::GetEnvironmentStringsW()) {
        for (const wchar_t* p = strings; *p; p += std::wcslen(p) + 1)
            variables.emplace_back(p);
        ::FreeEnvironmentStringsW(strings);
    }
    for (const auto& [name, value] : overrides) {
        const std::wstring prefix = name + L"=";
        variables.erase(std::remove_if(variables.begin(), variables.end(),
                                       [&](const std::wstring& v) {
                                           return ::CompareStringOrdinal(
                                                      v.c_str(), static_cast<int>(prefix.size()),
                                                      prefix.c_str(),
                                                      static_cast<int>(prefix.size()),
                                                      TRUE) == CSTR_EQUAL;
                                       }),
                        variables.end());
        variables.push_back(prefix + value);
    }
    std::wstring block;
    for (const std::wstring& v : variables)
        block += v + L'\0';
    block += L'\0';
    return block;
}

struct WindowScan
{
    DWORD process;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param)
{
    auto* scan = reinterpret_cast<WindowScan*>(param);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == scan->process && ::IsWindowVisible(window))
        scan->windows.push_back(window);
    return TRUE;
}

} // namespace

std::wstring BesideTest(const std::wstring& name)
{
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    return path.substr(0, path.find_last_of(L"\\/") + 1) + name;
}

ProgramRun RunProgram(const std::wstring& program, const std::wstring& arguments,
                      const Environment& environment, const std::wstring& closeWindow,
                      DWORD deadlineMs, const WindowVisit& visit, bool captureOutput)
{
    ProgramRun run;
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    std::wstring block = EnvironmentBlock(environment);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    // The output goes to a file that dies with its last handle.
    unique_file output;
    if (captureOutput) {
        wchar_t folder[MAX_PATH], name[MAX_PATH];
        ::GetTempPathW(MAX_PATH, folder);
        ::GetTempFileNameW(folder, L"out", 0, name);
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        output.reset(::CreateFileW(name, GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                                   CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = output.get();
        startup.hStdError = output.get();
    }
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                          captureOutput ? TRUE : FALSE, CREATE_UNICODE_ENVIRONMENT, block.data(),
                          nullptr, &startup, &info))
        return run;
    ::CloseHandle(info.hThread);
    unique_handle process(info.hProcess);

    std::set<HWND> answered;
    const ULONGLONG deadline = ::GetTickCount64() + deadlineMs;
    run.finished = true;
    while (::WaitForSingleObject(process.get(), 20) == WAIT_TIMEOUT) {
        if (::GetTickCount64() > deadline) {
            ::TerminateProcess(process.get(), 99);
            ::WaitForSingleObject(process.get(), 5000);
            run.finished = false;
            break;
        }
        WindowScan scan{info.dwProcessId, {}};
        ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&scan));
        for (HWND window : scan.windows) {
            if (answered.count(window))
                continue;
            wchar_t className[32] = {};
            ::GetClassNameW(window, className, 32);
            // A message box is a dialog whose text is the static control 0xFFFF.
            HWND text = ::GetDlgItem(window, 0xFFFF);
            if (!closeWindow.empty() && TextOf(window) == closeWindow) {
                if (!::IsWindowEnabled(window))
                    continue;
                run.windowSeen = true;
                answered.insert(window);
                if (visit)
                    visit(window);
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            } else if (::lstrcmpW(className, L"#32770") == 0 && text) {
                run.boxes.push_back({TextOf(window), TextOf(text)});
                answered.insert(window);
                ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
            }
        }
    }
    if (run.finished)
        ::GetExitCodeProcess(process.get(), &run.exitCode);
    if (output) {
        char buffer[4096];
        DWORD read = 0;
        ::SetFilePointer(output.get(), 0, nullptr, FILE_BEGIN);
        while (::ReadFile(output.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
            run.output.append(buffer, read);
    }
    return run;
}

} // namespace kadrix::test
