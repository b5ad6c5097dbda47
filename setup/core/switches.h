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

} // namespace kadrix::setup
