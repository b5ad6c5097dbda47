// The start of the setup program: the windows in their order, the switches
// of an installer, the message loop.
#pragma once

#include <string>
#include <vector>

namespace kadrix::setup {

// Runs the program with its parameters (the program's own name excluded) and
// returns its exit code.
int RunProgram(const std::vector<std::wstring>& parameters);

// The parameters of the process's command line.
std::vector<std::wstring> CommandLineParameters();

} // namespace kadrix::setup
