// The setup program's command-line switches, which an installer passes.
// Portable.
#pragma once

#include <string_view>

namespace kadrix::setup {

enum class Switch
{
    None, // the window
    CleanCache,
    Register,
    Unregister,
};

// The switch the first parameter names: "-cleancache", "-register" or
// "-unregister", exactly, case included; anything else is none.
Switch SwitchOf(std::wstring_view firstParameter);

// An installer that runs with nobody to answer a box sets this variable to
// "1" in the environment it starts the program with (the command line stays
// the switch alone, as installers and scripts already pass it). A switch
// run then shows no box: one it would have shown ends the run with exit
// code 1, which the installer reports as a failed step.
inline constexpr wchar_t kUnattendedVariable[] = L"KADRIX_UNATTENDED";

} // namespace kadrix::setup
