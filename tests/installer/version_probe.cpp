// version_probe FILE...: what each file's version resource says, read back
// as Explorer's Details tab reads it (GetFileVersionInfoW), one line a file:
//
//   FILE <tab> file version <tab> product version <tab> then the strings
//   FileVersion, ProductVersion, ProductName, CompanyName, FileDescription
//   and LegalCopyright of the file's first language
//
// The two versions of the fixed part are printed as a.b.c.d. Exits 1 when a
// file has no version resource (its line then says so), 2 without files.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::wstring Quad(DWORD high, DWORD low)
{
    return std::to_wstring(HIWORD(high)) + L"." + std::to_wstring(LOWORD(high)) + L"." +
           std::to_wstring(HIWORD(low)) + L"." + std::to_wstring(LOWORD(low));
}

std::wstring StringValue(const std::vector<BYTE>& info, const wchar_t* language,
                         const wchar_t* name)
{
    const std::wstring key = std::wstring(L"\\StringFileInfo\\") + language + L"\\" + name;
    void* value = nullptr;
    UINT length = 0;
    if (!::VerQueryValueW(info.data(), key.c_str(), &value, &length) || length == 0)
        return L"(none)";
    return static_cast<const wchar_t*>(value);
}

bool Probe(const wchar_t* file)
{
    const DWORD size = ::GetFileVersionInfoSizeW(file, nullptr);
    std::vector<BYTE> info(size);
    void* fixed = nullptr;
    UINT length = 0;
    if (size == 0 || !::GetFileVersionInfoW(file, 0, size, info.data()) ||
        !::VerQueryValueW(info.data(), L"\\", &fixed, &length) ||
        length < sizeof(VS_FIXEDFILEINFO)) {
        std::wprintf(L"%ls\tno version resource\n", file);
        return false;
    }
    const auto* numbers = static_cast<const VS_FIXEDFILEINFO*>(fixed);
    struct Translation
    {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    wchar_t language[9] = L"040904b0";
    if (::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                         reinterpret_cast<void**>(&translation), &length) &&
        length >= sizeof *translation)
        std::swprintf(language, 9, L"%04x%04x", translation->language, translation->codePage);

    std::wstring line = std::wstring(file) + L"\t" +
                        Quad(numbers->dwFileVersionMS, numbers->dwFileVersionLS) + L"\t" +
                        Quad(numbers->dwProductVersionMS, numbers->dwProductVersionLS);
    for (const wchar_t* name : {L"FileVersion", L"ProductVersion", L"ProductName", L"CompanyName",
                                L"FileDescription", L"LegalCopyright"})
        line += L"\t" + StringValue(info, language, name);
    std::wprintf(L"%ls\n", line.c_str());
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: version_probe FILE...\n");
        return 2;
    }
    bool all = true;
    for (int i = 1; i < argc; ++i)
        all = Probe(argv[i]) && all;
    return all ? 0 : 1;
}
