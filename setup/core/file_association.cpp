#include "setup/core/file_association.h"

#include "product/identifiers.h"

#include <string>

namespace kadrix::setup {
namespace {

constexpr wchar_t kDefault[] = L"";
const std::wstring kSheetHandlers =
    std::wstring(ids::kShellExKey) + L"\\" + ids::kPropertySheetHandlersKey;
constexpr wchar_t kSavedHandler[] = L"VLOld";
constexpr wchar_t kTreatment[] = L"Treatment";
// Beside "Treatment", what the file type held before we set it to 0.
constexpr wchar_t kSavedTreatment[] = L"VLOldTreatment";

std::wstring UpperCase(std::wstring_view text)
{
    std::wstring upper(text);
    for (wchar_t& c : upper)
        if (c >= L'a' && c <= L'z')
            c = static_cast<wchar_t>(c - L'a' + L'A');
    return upper;
}

bool SameClass(std::wstring_view value, std::wstring_view classId)
{
    return UpperCase(value) == UpperCase(classId);
}

std::wstring OurPropertySheetHandler(const AssociatedClasses& classes)
{
    return kSheetHandlers + L"\\" + std::wstring(classes.propertySheet);
}

// Every step starts and ends with no key current, as a fresh accessor would.
class Step
{
public:
    explicit Step(Registry& registry) : registry_(registry) { registry_.CloseKey(); }
    ~Step() { registry_.CloseKey(); }
    Step(const Step&) = delete;
    Step& operator=(const Step&) = delete;

private:
    Registry& registry_;
};

// Opens the file type key: the key the extension's default value names, or
// the extension key itself when that value is empty.
bool OpenFileType(Registry& registry, std::wstring_view extension)
{
    if (!registry.OpenKey(extension, false))
        return false;
    const std::wstring progId = registry.ReadString(kDefault);
    if (progId.empty())
        return true;
    registry.CloseKey();
    return registry.OpenKey(progId, false);
}

void RegisterHandler(Registry& registry, const AssociatedClasses& classes,
                     std::wstring_view extension, std::wstring_view handlerKey)
{
    Step step(registry);
    if (!registry.OpenKey(extension, false))
        return;
    // A handler key we may not create must not turn the writes below into
    // writes to the extension key itself.
    if (!registry.OpenKey(ids::kShellExKey, true) || !registry.OpenKey(handlerKey, true))
        return;
    const std::wstring previous = registry.ReadString(kDefault);
    // Registered before: the default already names our class, and "VLOld"
    // holds the handler from before the first registration. Keep it.
    if (!previous.empty() && !SameClass(previous, classes.extractor))
        registry.WriteString(kSavedHandler, previous);
    registry.WriteString(kDefault, classes.extractor);
}

void RegisterPropertySheet(Registry& registry, const AssociatedClasses& classes,
                           std::wstring_view extension)
{
    Step step(registry);
    if (!OpenFileType(registry, extension))
        return;
    // A treatment the file type had before is kept aside, once: when our
    // handler is already there, the 0 in place is our own.
    if (!registry.KeyExists(OurPropertySheetHandler(classes)) &&
        !registry.ValueExists(kSavedTreatment)) {
        if (const std::optional<RegistryValue> treatment = registry.ReadValue(kTreatment))
            registry.WriteValue(kSavedTreatment, *treatment);
    }
    registry.WriteInteger(kTreatment, 0);
    if (registry.OpenKey(kSheetHandlers, true))
        registry.OpenKey(classes.propertySheet, true);
}

void UnRegisterHandler(Registry& registry, const AssociatedClasses& classes,
                       std::wstring_view extension, std::wstring_view handlerKey)
{
    Step step(registry);
    // A missing key ends the step: reading or deleting in whatever key was
    // opened last would touch a key that holds nothing of ours.
    if (!registry.OpenKey(extension, false) || !registry.OpenKey(ids::kShellExKey, false) ||
        !registry.OpenKey(handlerKey, false))
        return;
    if (SameClass(registry.ReadString(kDefault), classes.extractor))
        registry.DeleteValue(kDefault);
    const std::wstring saved = registry.ReadString(kSavedHandler);
    if (!saved.empty()) {
        registry.WriteString(kDefault, saved);
        registry.DeleteValue(kSavedHandler);
    }
}

void UnRegisterPropertySheet(Registry& registry, const AssociatedClasses& classes,
                             std::wstring_view extension)
{
    Step step(registry);
    if (!OpenFileType(registry, extension))
        return;
    // Without our handler the file type was never registered (or is already
    // released): its "Treatment" is someone else's and stays.
    const bool registered = registry.KeyExists(OurPropertySheetHandler(classes));
    if (const std::optional<RegistryValue> saved = registry.ReadValue(kSavedTreatment)) {
        registry.WriteValue(kTreatment, *saved);
        registry.DeleteValue(kSavedTreatment);
    } else if (registered) {
        registry.DeleteValue(kTreatment);
    }
    if (registry.OpenKey(kSheetHandlers, false))
        registry.DeleteKey(classes.propertySheet);
}

} // namespace

void RegisterVideoFile(Registry& registry, const AssociatedClasses& classes,
                       std::wstring_view extension)
{
    RegisterHandler(registry, classes, extension, ids::kExtractImageHandlerKey);
    RegisterPropertySheet(registry, classes, extension);
    RegisterHandler(registry, classes, extension, ids::kThumbnailProviderHandlerKey);
}

void UnRegisterVideoFile(Registry& registry, const AssociatedClasses& classes,
                         std::wstring_view extension)
{
    UnRegisterHandler(registry, classes, extension, ids::kExtractImageHandlerKey);
    UnRegisterHandler(registry, classes, extension, ids::kThumbnailProviderHandlerKey);
    UnRegisterPropertySheet(registry, classes, extension);
}

} // namespace kadrix::setup
