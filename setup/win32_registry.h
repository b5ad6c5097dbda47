// The Win32 registry accessor of the setup program: a root key, a current
// key, full access rights.
#pragma once

#include "base/unique_handle.h"
#include "setup/core/registry.h"

#include <windows.h>

namespace kadrix::setup {

class Win32Registry final : public Registry
{
public:
    explicit Win32Registry(HKEY root, REGSAM access = KEY_ALL_ACCESS) : root_(root), access_(access)
    {
    }

    bool OpenKey(std::wstring_view path, bool create) override;
    void CloseKey() override { current_.reset(); }
    bool KeyExists(std::wstring_view path) override;
    std::optional<RegistryValue> ReadValue(std::wstring_view name) override;
    void WriteValue(std::wstring_view name, const RegistryValue& value) override;
    bool DeleteValue(std::wstring_view name) override;
    bool DeleteKey(std::wstring_view path) override;

private:
    // The key a path starts from, and the path below it.
    HKEY BaseOf(std::wstring_view& path) const;
    HKEY Current() const { return current_ ? current_.get() : root_; }

    HKEY root_;
    REGSAM access_;
    unique_hkey current_;
};

} // namespace kadrix::setup
