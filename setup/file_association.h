// The per-extension shell registration that makes Explorer load the
// thumbnail extractor and the property sheet handler for a video file type.
// Portable: it works through a RegistryAccess rooted at the classes root.
#pragma once

#include "setup/registry_access.h"

#include <string_view>

namespace kadrix::setup {

// The shell's handler keys below "<extension>\ShellEx", named after the
// shell's extract-image and thumbnail-provider interfaces, spelt as the
// shell spells them.
inline constexpr wchar_t kExtractImageHandlerKey[] = L"{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}";
inline constexpr wchar_t kThumbnailProviderHandlerKey[] = L"{e357fccd-a995-4576-b01f-234630154e96}";
inline constexpr wchar_t kPropertySheetHandlersKey[] = L"ShellEx\\PropertySheetHandlers";

// The extensions the setup program associates, sorted as its list shows them.
inline constexpr const wchar_t* kVideoExtensions[] = {
    L".asf", L".asx", L".avi", L".flv",  L".m1v", L".m2v",  L".mkv",
    L".mov", L".mp4", L".mpe", L".mpeg", L".mpg", L".mpv2", L".wmv",
};

// The two classes written into the keys, in upper case.
struct AssociatedClasses
{
    std::wstring_view extractor;     // entered under both handler keys
    std::wstring_view propertySheet; // a property sheet handler of the file type
};

// Registers one extension (with its dot). An extension without a key is left
// alone. Registry errors propagate; steps done before stay done.
void RegisterVideoFile(RegistryAccess& registry, const AssociatedClasses& classes,
                       std::wstring_view extension);
// Removes the registration and restores what registration replaced.
void UnRegisterVideoFile(RegistryAccess& registry, const AssociatedClasses& classes,
                         std::wstring_view extension);

} // namespace kadrix::setup
