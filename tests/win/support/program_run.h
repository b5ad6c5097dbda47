// Runs a program of the build as its own process in the prefix, the way an
// installer or a user starts it, and answers the windows it shows.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace kadrix::test {

struct ShownBox
{
    std::wstring title;
    std::wstring text;
};

struct ProgramRun
{
    bool finished = false; // false: it was still running at the deadline and was ended
    DWORD exitCode = 0;
    std::string output;          // what it wrote to its standard output and error, when asked
    std::vector<ShownBox> boxes; // message boxes, in the order shown, each answered with OK
    bool windowSeen = false;     // the window named in the call showed (and was closed)
};

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

// What to do with the window before it is closed, in this process.
using WindowVisit = std::function<void(HWND window)>;

// Starts `program` with `arguments` and the environment of this process plus
// `environment`. Every message box the program shows is recorded and closed
// with OK; a top-level window with the title `closeWindow` is, once it is
// visible and enabled (no box of its own over it), handed to `visit` and
// then closed as the user would close it.
ProgramRun RunProgram(const std::wstring& program, const std::wstring& arguments,
                      const Environment& environment = {}, const std::wstring& closeWindow = {},
                      DWORD deadlineMs = 30000, const WindowVisit& visit = {},
                      bool captureOutput = false);

// A file beside the running test executable.
std::wstring BesideTest(const std::wstring& name);

} // namespace kadrix::test
