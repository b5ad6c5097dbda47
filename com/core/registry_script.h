// Registry scripts: the declarative text a COM server embeds to say which
// keys and values registration writes and unregistration removes.
//
//   HKCR
//   {
//       NoRemove CLSID
//       {
//           ForceRemove {...} = s 'Name'
//           {
//               InprocServer32 = s '%MODULE%'
//               {
//                   val ThreadingModel = s 'Apartment'
//               }
//           }
//       }
//   }
//
// This is the parser: plain C++, no registry access. registry_script_runner.h
// applies a parsed script to the registry.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace kadrix::com {

struct ScriptValue
{
    enum class Type
    {
        String, // s 'text'
        Dword,  // d 'number'
    };
    Type type = Type::String;
    std::wstring text;       // for String
    std::uint32_t dword = 0; // for Dword
};

struct RegistryKey
{
    enum class Removal
    {
        Normal,      // removed on unregistration when nothing else is left in it
        NoRemove,    // never removed; only what the script put below it is
        ForceRemove, // replaced whole on registration, removed whole on unregistration
    };
    std::wstring name;
    Removal removal = Removal::Normal;
    std::optional<ScriptValue> defaultValue;
    std::vector<std::pair<std::wstring, ScriptValue>> values; // "val Name = ..."
    std::vector<RegistryKey> subkeys;
};

struct RegistryRoot
{
    std::wstring name; // HKCR, HKEY_CLASSES_ROOT, HKCU, HKLM, ...
    std::vector<RegistryKey> keys;
};

struct RegistryScript
{
    std::vector<RegistryRoot> roots;
};

class RegistryScriptError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Replacements for %NAME% in names and values ("%%" stands for one "%").
using ScriptReplacements = std::map<std::wstring, std::wstring, std::less<>>;

// Parses a script; throws RegistryScriptError on text that is not one, that
// names a replacement it was not given, or that nests keys more than 32 deep.
RegistryScript ParseRegistryScript(std::wstring_view text, const ScriptReplacements& replacements);

} // namespace kadrix::com
