#include "com/core/registry_script.h"

#include <gtest/gtest.h>

using namespace kadrix::com;

namespace {

const ScriptReplacements kReplacements = {
    {L"MODULE", L"C:\\Program Files\\Kadrix\\Glimvex.dll"},
    {L"APPID", L"{3F7B0E2C-8A41-4C96-B1D7-05E9A2C48B16}"},
};

TEST(RegistryScript, AppIdScript)
{
    const RegistryScript script = ParseRegistryScript(L"HKCR\r\n"
                                                      L"{\r\n"
                                                      L"\tNoRemove AppID\r\n"
                                                      L"\t{\r\n"
                                                      L"\t\t'%APPID%' = s 'Glimvex'\r\n"
                                                      L"\t\t'Glimvex.DLL'\r\n"
                                                      L"\t\t{\r\n"
                                                      L"\t\t\tval AppID = s '%APPID%'\r\n"
                                                      L"\t\t}\r\n"
                                                      L"\t}\r\n"
                                                      L"}\r\n",
                                                      kReplacements);
    ASSERT_EQ(script.roots.size(), 1u);
    EXPECT_EQ(script.roots[0].name, L"HKCR");
    ASSERT_EQ(script.roots[0].keys.size(), 1u);
    const RegistryKey& appId = script.roots[0].keys[0];
    EXPECT_EQ(appId.name, L"AppID");
    EXPECT_EQ(appId.removal, RegistryKey::Removal::NoRemove);
    EXPECT_FALSE(appId.defaultValue);
    ASSERT_EQ(appId.subkeys.size(), 2u);

    const RegistryKey& id = appId.subkeys[0];
    EXPECT_EQ(id.name, L"{3F7B0E2C-8A41-4C96-B1D7-05E9A2C48B16}");
    EXPECT_EQ(id.removal, RegistryKey::Removal::Normal);
    ASSERT_TRUE(id.defaultValue);
    EXPECT_EQ(id.defaultValue->text, L"Glimvex");
    EXPECT_TRUE(id.subkeys.empty());

    const RegistryKey& dll = appId.subkeys[1];
    EXPECT_EQ(dll.name, L"Glimvex.DLL");
    EXPECT_FALSE(dll.defaultValue);
    ASSERT_EQ(dll.values.size(), 1u);
    EXPECT_EQ(dll.values[0].first, L"AppID");
    EXPECT_EQ(dll.values[0].second.text, L"{3F7B0E2C-8A41-4C96-B1D7-05E9A2C48B16}");
}

TEST(RegistryScript, ClassScriptWithBareGuidAndModulePath)
{
    const RegistryScript script = ParseRegistryScript(
        L"HKCR\n{\n\tNoRemove CLSID\n\t{\n"
        L"\t\tForceRemove {5D2A7C10-3B94-4E61-A8F2-7C0E19B4D6A3} = s 'Vantrel Kadrix thumb "
        L"extractor class'\n"
        L"\t\t{\n\t\t\tInprocServer32 = s '%MODULE%'\n\t\t\t{\n"
        L"\t\t\t\tval ThreadingModel = s 'Apartment'\n\t\t\t}\n\t\t}\n\t}\n}\n",
        kReplacements);
    const RegistryKey& clsid = script.roots.at(0).keys.at(0);
    EXPECT_EQ(clsid.removal, RegistryKey::Removal::NoRemove);
    const RegistryKey& cls = clsid.subkeys.at(0);
    EXPECT_EQ(cls.name, L"{5D2A7C10-3B94-4E61-A8F2-7C0E19B4D6A3}");
    EXPECT_EQ(cls.removal, RegistryKey::Removal::ForceRemove);
    EXPECT_EQ(cls.defaultValue->text, L"Vantrel Kadrix thumb extractor class");
    const RegistryKey& server = cls.subkeys.at(0);
    EXPECT_EQ(server.name, L"InprocServer32");
    EXPECT_EQ(server.defaultValue->text, L"C:\\Program Files\\Kadrix\\Glimvex.dll");
    EXPECT_EQ(server.values.at(0).first, L"ThreadingModel");
    EXPECT_EQ(server.values.at(0).second.text, L"Apartment");
}

TEST(RegistryScript, ValuesQuotesAndKeywords)
{
    const RegistryScript script =
        ParseRegistryScript(L"HKCU { noremove Software { 'It''s' = s '100%% %MODULE%' "
                            L"{ val Count = d '42' val Mask = d 0x1F val 'Two words' = s '' } } }\n"
                            L"HKLM { Solo }",
                            kReplacements);
    ASSERT_EQ(script.roots.size(), 2u);
    const RegistryKey& software = script.roots[0].keys.at(0);
    EXPECT_EQ(software.removal, RegistryKey::Removal::NoRemove); // keywords ignore case
    const RegistryKey& key = software.subkeys.at(0);
    EXPECT_EQ(key.name, L"It's");
    EXPECT_EQ(key.defaultValue->text, L"100% C:\\Program Files\\Kadrix\\Glimvex.dll");
    ASSERT_EQ(key.values.size(), 3u);
    EXPECT_EQ(key.values[0].second.type, ScriptValue::Type::Dword);
    EXPECT_EQ(key.values[0].second.dword, 42u);
    EXPECT_EQ(key.values[1].second.dword, 0x1Fu);
    EXPECT_EQ(key.values[2].first, L"Two words");
    EXPECT_EQ(key.values[2].second.text, L"");
    EXPECT_EQ(script.roots[1].name, L"HKLM");
    EXPECT_EQ(script.roots[1].keys.at(0).name, L"Solo");
}

TEST(RegistryScript, BrokenScriptsAreRefused)
{
    const wchar_t* broken[] = {
        L"HKCR { Key ",                    // unbalanced
        L"HKCR { Key = 'no type' }",       // value without s or d
        L"HKCR { Key = s 'unterminated }", // string never ends
        L"HKCR { Key = s '%NOSUCH%' }",    // unknown replacement
        L"HKCR { Key = s '%MODULE' }",     // replacement never ends
        L"HKCR { Key { val = s 'x' } }",   // value without name
        L"HKCR { Key = d 'twelve' }",      // not a number
        L"HKCR { Key = d 4294967296 }",    // too large for a DWORD
        L"{ Key }",                        // no root
    };
    for (const wchar_t* text : broken)
        EXPECT_THROW(ParseRegistryScript(text, kReplacements), RegistryScriptError)
            << std::string(text, text + std::wcslen(text));
}

// Keys nested `depth` deep below the root.
std::wstring Nested(int depth)
{
    std::wstring text = L"HKCR {";
    for (int i = 0; i < depth; ++i)
        text += L" k {";
    return text + std::wstring(static_cast<std::size_t>(depth) + 1, L'}');
}

TEST(RegistryScript, NestingHasALimit)
{
    const RegistryScript script = ParseRegistryScript(Nested(32), kReplacements);
    const RegistryKey* key = &script.roots.at(0).keys.at(0);
    for (int depth = 1; depth < 32; ++depth)
        key = &key->subkeys.at(0);
    EXPECT_TRUE(key->subkeys.empty());
    // One more is refused like any broken script, and so are 20,000, which
    // would take the stack with them.
    for (int depth : {33, 20000})
        EXPECT_THROW(ParseRegistryScript(Nested(depth), kReplacements), RegistryScriptError)
            << depth;
}

} // namespace
