// The class identifiers of Kadrix's two COM classes. The servers register
// them; the setup program writes them into the per-extension shell keys.
#pragma once

#include <guiddef.h>

// The thumbnail extractor in Glimvex.
inline constexpr CLSID CLSID_MyFirstGlimvex = {
    0x5d2a7c10, 0x3b94, 0x4e61, {0xa8, 0xf2, 0x7c, 0x0e, 0x19, 0xb4, 0xd6, 0xa3}};
inline constexpr wchar_t kMyFirstGlimvexClsid[] = L"{5D2A7C10-3B94-4E61-A8F2-7C0E19B4D6A3}";

// The property sheet handler in Tabliq.
inline constexpr CLSID CLSID_ThumbTabliq = {
    0xa0c4e7b2, 0x6f18, 0x4d3a, {0x9b, 0x55, 0x2e, 0x8d, 0x71, 0xc0, 0xf9, 0x4b}};
inline constexpr wchar_t kThumbTabliqClsid[] = L"{A0C4E7B2-6F18-4D3A-9B55-2E8D71C0F94B}";
