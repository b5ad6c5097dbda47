// libFuzzer driver: the registry-script parser over any text, one character
// per input byte (the scripts are ASCII text). A script is parsed or refused
// with RegistryScriptError; any other outcome is a finding.
#include "com/core/registry_script.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const kadrix::com::ScriptReplacements replacements = {
        {L"MODULE", L"C:\\Program Files\\Kadrix\\Glimvex.dll"},
        {L"APPID", L"{3F7B0E2C-8A41-4C96-B1D7-05E9A2C48B16}"},
    };
    const std::wstring text(data, data + size);
    try {
        (void)kadrix::com::ParseRegistryScript(text, replacements);
    } catch (const kadrix::com::RegistryScriptError&) {
    }
    return 0;
}
