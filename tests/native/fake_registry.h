// An in-memory registry behind the setup program's accessor interface: keys
// and value names are case-insensitive as in the real one, and keys can be
// made unwritable or unopenable to provoke the failure paths.
#pragma once

#include "setup/core/registry.h"

#include <map>
#include <set>
#include <string>
#include <string_view>

namespace kadrix::test {

class FakeRegistry
{
public:
    using Values = std::map<std::wstring, setup::RegistryValue>; // by lower-case name
    using Tree = std::map<std::wstring, Values>;                 // by lower-case path

    static std::wstring Lower(std::wstring_view text)
    {
        std::wstring lower(text);
        for (wchar_t& c : lower)
            if (c >= L'A' && c <= L'Z')
                c = static_cast<wchar_t>(c - L'A' + L'a');
        return lower;
    }
    static std::wstring Join(std::wstring_view base, std::wstring_view path)
    {
        while (!path.empty() && path.front() == L'\\')
            path.remove_prefix(1);
        while (!path.empty() && path.back() == L'\\')
            path.remove_suffix(1);
        if (base.empty())
            return Lower(path);
        if (path.empty())
            return Lower(base);
        return Lower(base) + L"\\" + Lower(path);
    }

    void AddKey(std::wstring_view path)
    {
        std::wstring built;
        std::wstring lower = Lower(path);
        std::size_t start = 0;
        while (start <= lower.size()) {
            const std::size_t end = lower.find(L'\\', start);
            built = Join(built, lower.substr(start, end - start));
            keys_[built];
            if (end == std::wstring::npos)
                break;
            start = end + 1;
        }
    }
    void Set(std::wstring_view path, std::wstring_view name, const setup::RegistryValue& value)
    {
        AddKey(path);
        keys_[Lower(path)][Lower(name)] = value;
    }
    void SetString(std::wstring_view path, std::wstring_view name, std::wstring_view text)
    {
        Set(path, name, setup::StringValue(text));
    }
    bool HasKey(std::wstring_view path) const { return keys_.count(Lower(path)) != 0; }
    const setup::RegistryValue* Get(std::wstring_view path, std::wstring_view name) const
    {
        const auto key = keys_.find(Lower(path));
        if (key == keys_.end())
            return nullptr;
        const auto value = key->second.find(Lower(name));
        return value == key->second.end() ? nullptr : &value->second;
    }
    std::wstring GetString(std::wstring_view path, std::wstring_view name) const
    {
        const setup::RegistryValue* value = Get(path, name);
        return value ? setup::TextOf(*value) : L"<none>";
    }

    // Keys whose values can't be written and below which no key is created.
    std::set<std::wstring> readOnly;
    // Keys that exist but can't be opened (no rights).
    std::set<std::wstring> denied;

    const Tree& tree() const { return keys_; }
    Tree& tree() { return keys_; }

private:
    Tree keys_;
};

// The accessor over a FakeRegistry: a current key, or the root.
class FakeAccess final : public setup::Registry
{
public:
    explicit FakeAccess(FakeRegistry& registry) : registry_(registry) {}

    bool OpenKey(std::wstring_view path, bool create) override
    {
        const std::wstring full = Full(path);
        if (registry_.denied.count(full))
            return false;
        if (!registry_.HasKey(full)) {
            if (!create || registry_.readOnly.count(Parent(full)))
                return false;
            registry_.AddKey(full);
        }
        current_ = full;
        open_ = true;
        return true;
    }
    void CloseKey() override
    {
        current_.clear();
        open_ = false;
    }
    bool KeyExists(std::wstring_view path) override { return registry_.HasKey(Full(path)); }
    std::optional<setup::RegistryValue> ReadValue(std::wstring_view name) override
    {
        if (const setup::RegistryValue* value = registry_.Get(current_, name))
            return *value;
        return std::nullopt;
    }
    void WriteValue(std::wstring_view name, const setup::RegistryValue& value) override
    {
        if (registry_.readOnly.count(current_))
            throw setup::FailedToSetData(name);
        registry_.tree()[current_][FakeRegistry::Lower(name)] = value;
    }
    bool DeleteValue(std::wstring_view name) override
    {
        return registry_.tree()[current_].erase(FakeRegistry::Lower(name)) != 0;
    }
    bool DeleteKey(std::wstring_view path) override
    {
        const std::wstring full = Full(path);
        auto& tree = registry_.tree();
        if (!tree.count(full))
            return false;
        for (auto it = tree.begin(); it != tree.end();) {
            if (it->first == full || it->first.rfind(full + L"\\", 0) == 0)
                it = tree.erase(it);
            else
                ++it;
        }
        return true;
    }

    const std::wstring& current() const { return current_; }

private:
    std::wstring Full(std::wstring_view path) const
    {
        if (!path.empty() && path.front() == L'\\')
            return FakeRegistry::Join(L"", path);
        return FakeRegistry::Join(open_ ? current_ : L"", path);
    }
    static std::wstring Parent(const std::wstring& path)
    {
        const std::size_t slash = path.rfind(L'\\');
        return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
    }

    FakeRegistry& registry_;
    std::wstring current_;
    bool open_ = false;
};

} // namespace kadrix::test
