// The per-extension shell registration that makes Explorer load the
// thumbnail extractor and the property sheet handler for a video file type.
// Portable: it works through a Registry rooted at the classes root.
#pragma once

#include "setup/core/registry.h"

#include <string_view>

namespace kadrix::setup {

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
void RegisterVideoFile(Registry& registry, const AssociatedClasses& classes,
                       std::wstring_view extension);
// Removes the registration and restores what registration replaced.
void UnRegisterVideoFile(Registry& registry, const AssociatedClasses& classes,
                         std::wstring_view extension);

} // namespace kadrix::setup
