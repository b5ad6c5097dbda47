// Applies a registry script to the registry: registration writes its keys
// and values, unregistration removes them again.
#pragma once

#include "com/core/registry_script.h"

#include <windows.h>

namespace kadrix::com {

enum class ScriptMode
{
    Register,
    Unregister,
};

// Runs a parsed script. Registration stops at the first failure and returns
// it (what was written before stays). Unregistration tolerates keys that are
// already gone.
HRESULT RunRegistryScript(const RegistryScript& script, ScriptMode mode) noexcept;

// Parses and runs the REGISTRY resource `id` of a module; the text is taken
// as UTF-8 (or plain ASCII). A script that does not parse gives E_UNEXPECTED,
// an allocation failure E_OUTOFMEMORY.
HRESULT RunRegistryScriptResource(HMODULE module, UINT id, const ScriptReplacements& replacements,
                                  ScriptMode mode) noexcept;

} // namespace kadrix::com
