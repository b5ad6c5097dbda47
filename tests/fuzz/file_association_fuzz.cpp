// libFuzzer driver: the setup program's file type association over a
// classes root that others wrote, in the tests' in-memory registry.
//
// The input is a registry, then operations:
//   byte 0       how many values follow (modulo 32)
//   each value   a key (low 4 bits: one of kKeys; bit 4: the key can't be
//                written, bit 5: it can't be opened, bit 6: the key alone,
//                no value), a name (modulo 5: one of kNames), a type (low 7
//                bits: the registry's type code; bit 7: the data as it is,
//                else a string of the data's bytes), a length, the data
//   the rest     one operation a byte: bit 0 unregister, else register; bits
//                1-2 the extension (one of kExtensions)
//
// A registry error is an answer (the setup program shows it); any other
// exception, or a crash, is a finding. So is a registry whose values differ
// after one registration (or two) and one unregistration of .avi, when it
// held nothing of ours before and every key could be written.
#include "fake_registry.h"
#include "product/identifiers.h"
#include "setup/core/file_association.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

using namespace kadrix;
using test::FakeAccess;
using test::FakeRegistry;

const std::wstring kShellEx = std::wstring(L"\\") + ids::kShellExKey + L"\\";
const std::wstring kSheets =
    std::wstring(L"\\") + ids::kShellExKey + L"\\" + ids::kPropertySheetHandlersKey;
const std::wstring kKeys[16] = {
    L".avi",
    L"avifile",
    L".avi" + kShellEx + ids::kExtractImageHandlerKey,
    L".avi" + kShellEx + ids::kThumbnailProviderHandlerKey,
    L"avifile" + kSheets,
    L"avifile" + kSheets + L"\\" + ids::kThumbTabliqClsid,
    L".avi\\ShellEx",
    L"avifile\\ShellEx",
    L".avi" + kSheets,
    L".mkv",
    L".mkv" + kShellEx + ids::kThumbnailProviderHandlerKey,
    L"mkvfile",
    L".mp4",
    L"mp4file" + kSheets,
    L"avifile" + kShellEx + ids::kExtractImageHandlerKey,
    L"other",
};
const wchar_t* const kNames[5] = {L"", L"VLOld", L"Treatment", L"VLOldTreatment", L"Other"};
const wchar_t* const kExtensions[4] = {L".avi", L".mkv", L".mp4", L".AVI"};
constexpr setup::AssociatedClasses kClasses{ids::kMyFirstGlimvexClsid, ids::kThumbTabliqClsid};

void Fail(const char* what)
{
    std::fprintf(stderr, "file association: %s\n", what);
    std::abort();
}

class Input
{
public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return at_ == size_; }
    std::uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Whether the registry holds a trace of an earlier registration: a value or
// a key named as ours, or data naming one of our classes.
bool HoldsOurs(const FakeRegistry& registry)
{
    const std::wstring sheet = FakeRegistry::Lower(ids::kThumbTabliqClsid);
    const std::wstring extractor = FakeRegistry::Lower(ids::kMyFirstGlimvexClsid);
    for (const auto& [path, values] : registry.tree()) {
        if (path.find(sheet) != std::wstring::npos)
            return true;
        for (const auto& [name, value] : values) {
            const std::wstring text = FakeRegistry::Lower(setup::TextOf(value));
            if (name == L"vlold" || name == L"vloldtreatment" || text == extractor || text == sheet)
                return true;
        }
    }
    return false;
}

// The values of every key as registration reads and writes them: a string
// (plain or expandable) by its text, which is what a handler saved aside and
// written back keeps; an empty one, or none, reads as no value.
std::map<std::wstring, FakeRegistry::Values> ValuesOf(const FakeRegistry& registry)
{
    std::map<std::wstring, FakeRegistry::Values> values;
    for (const auto& [path, keyValues] : registry.tree()) {
        for (const auto& [name, value] : keyValues) {
            const bool text = value.type == setup::ValueType::String ||
                              value.type == setup::ValueType::ExpandString;
            if (value.data.empty() || (text && setup::TextOf(value).empty()))
                continue;
            values[path][name] = text ? setup::StringValue(setup::TextOf(value)) : value;
        }
    }
    return values;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input input(data, size);
    FakeRegistry registry;
    for (int count = input.Byte() % 32; count > 0; --count) {
        const std::uint8_t key = input.Byte();
        const std::wstring& path = kKeys[key & 0x0F];
        const wchar_t* name = kNames[input.Byte() % 5];
        const std::uint8_t type = input.Byte();
        std::string bytes(input.Byte(), '\0');
        for (char& c : bytes)
            c = static_cast<char>(input.Byte());
        registry.AddKey(path);
        if (key & 0x10)
            registry.readOnly.insert(FakeRegistry::Lower(path));
        if (key & 0x20)
            registry.denied.insert(FakeRegistry::Lower(path));
        if (key & 0x40)
            continue;
        std::wstring text;
        for (const char c : bytes)
            text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
        setup::RegistryValue value = setup::StringValue(text);
        value.type = static_cast<setup::ValueType>(type & 0x7F);
        if (type & 0x80)
            value.data.assign(bytes.begin(), bytes.end());
        registry.Set(path, name, value);
    }
    const FakeRegistry before = registry;

    // One run of the operations, over keys that may refuse them.
    FakeAccess access(registry);
    while (!input.empty()) {
        const std::uint8_t operation = input.Byte();
        const wchar_t* extension = kExtensions[(operation >> 1) & 3];
        try {
            if (operation & 1)
                setup::UnRegisterVideoFile(access, kClasses, extension);
            else
                setup::RegisterVideoFile(access, kClasses, extension);
        } catch (const setup::RegistryError&) {
        }
    }

    // Registration undone gives back what was there.
    if (!before.readOnly.empty() || !before.denied.empty() || HoldsOurs(before))
        return 0;
    FakeRegistry again = before;
    FakeAccess undo(again);
    try {
        setup::RegisterVideoFile(undo, kClasses, L".avi");
        if (size % 2)
            setup::RegisterVideoFile(undo, kClasses, L".avi");
        setup::UnRegisterVideoFile(undo, kClasses, L".avi");
    } catch (const setup::RegistryError&) {
        return 0;
    }
    if (ValuesOf(again) != ValuesOf(before))
        Fail("registration undone left other values than there were");
    return 0;
}
