// Kadrix's identifiers, written once: the class identifiers of its two COM
// classes, their AppIDs and type libraries, and the shell's handler key names
// under which the setup program enters them. The servers register them, the
// setup program associates them, the hosts and the tests look them up.
//
// The strings are portable; the GUID structures exist where the platform's
// GUID type does.
#pragma once

namespace kadrix::ids {

// The thumbnail extractor in Glimvex.
inline constexpr wchar_t kMyFirstGlimvexClsid[] = L"{5D2A7C10-3B94-4E61-A8F2-7C0E19B4D6A3}";
inline constexpr wchar_t kGlimvexAppId[] = L"{3F7B0E2C-8A41-4C96-B1D7-05E9A2C48B16}";
inline constexpr wchar_t kGlimvexLibId[] = L"{63106791-F71C-493E-AEFA-98DAC8A340E8}";

// The property sheet handler in Tabliq.
inline constexpr wchar_t kThumbTabliqClsid[] = L"{A0C4E7B2-6F18-4D3A-9B55-2E8D71C0F94B}";
inline constexpr wchar_t kTabliqAppId[] = L"{C81D5A93-2E07-4B6F-8C3A-94F0B7D26E51}";
inline constexpr wchar_t kTabliqLibId[] = L"{0169295A-A3BC-4B75-B5DC-140448CA23A3}";

// The shell's handler keys below "<file type>\ShellEx": the extract-image
// and thumbnail-provider interfaces' identifiers, spelt as the shell spells
// them, and the key that holds one subkey per property sheet handler.
inline constexpr wchar_t kShellExKey[] = L"ShellEx";
inline constexpr wchar_t kExtractImageHandlerKey[] = L"{BB2E617C-0920-11d1-9A0B-00C04FC2D6C1}";
inline constexpr wchar_t kThumbnailProviderHandlerKey[] = L"{e357fccd-a995-4576-b01f-234630154e96}";
inline constexpr wchar_t kPropertySheetHandlersKey[] = L"PropertySheetHandlers";

} // namespace kadrix::ids

#if defined(_WIN32)
#include <guiddef.h>

inline constexpr CLSID CLSID_MyFirstGlimvex = {
    0x5d2a7c10, 0x3b94, 0x4e61, {0xa8, 0xf2, 0x7c, 0x0e, 0x19, 0xb4, 0xd6, 0xa3}};
inline constexpr CLSID CLSID_ThumbTabliq = {
    0xa0c4e7b2, 0x6f18, 0x4d3a, {0x9b, 0x55, 0x2e, 0x8d, 0x71, 0xc0, 0xf9, 0x4b}};
#endif
