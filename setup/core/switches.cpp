#include "setup/core/switches.h"

namespace kadrix::setup {

Switch SwitchOf(std::wstring_view firstParameter)
{
    if (firstParameter == L"-cleancache")
        return Switch::CleanCache;
    if (firstParameter == L"-register")
        return Switch::Register;
    if (firstParameter == L"-unregister")
        return Switch::Unregister;
    return Switch::None;
}

} // namespace kadrix::setup
