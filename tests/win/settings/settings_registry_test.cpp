#include "base/unique_handle.h"
#include "engine/settings/settings_registry.h"
#include "support/settings_writer.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <string>

using namespace kadrix;

namespace {

// Each test starts from no settings key at all and leaves none behind.
class SettingsRegistryTest : public testing::Test
{
protected:
    void SetUp() override { Remove(); }
    void TearDown() override { Remove(); }

    static void Remove() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey); }

    static unique_hkey CreateKey()
    {
        unique_hkey key;
        EXPECT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                    nullptr, key.put(), nullptr),
                  ERROR_SUCCESS);
        return key;
    }

    static void SetRaw(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size)
    {
        ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
                  ERROR_SUCCESS);
    }
    static void SetDword(HKEY key, const wchar_t* name, DWORD value)
    {
        SetRaw(key, name, REG_DWORD, &value, sizeof value);
    }
};

TEST_F(SettingsRegistryTest, NoKeyKeepsTheDefaults)
{
    ThumbnailSettings s;
    EXPECT_FALSE(ReadSettings(s));
    EXPECT_EQ(BackgroundOf(s), Background::Letterbox);
    EXPECT_EQ(s.glossy, 0u);
    EXPECT_EQ(s.timeShift, 1u);
    EXPECT_EQ(s.percent, 1u);
    EXPECT_EQ(s.override, 0u);
}

TEST_F(SettingsRegistryTest, WrittenValuesReadBackAsDwords)
{
    ThumbnailSettings written;
    written.glossy = 1;
    written.windowBkg = 0;
    written.blackBkg = 1;
    written.letterbox = 0;
    written.timeShift = 0;
    written.override = 1;
    written.random = 2147483646;
    written.time = 32767;
    written.percent = 100;
    ASSERT_EQ(test::WriteSettings(written), ERROR_SUCCESS);

    unique_hkey key = CreateKey();
    for (const SettingsValue& value : kSettingsValues) {
        DWORD type = 0, size = 0;
        ASSERT_EQ(::RegQueryValueExW(key.get(), value.name, nullptr, &type, nullptr, &size),
                  ERROR_SUCCESS);
        EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
        EXPECT_EQ(size, 4u);
    }

    ThumbnailSettings read;
    EXPECT_TRUE(ReadSettings(read));
    for (const SettingsValue& value : kSettingsValues)
        EXPECT_EQ(read.*value.field, written.*value.field);
    EXPECT_EQ(BackgroundOf(read), Background::Black);
}

TEST_F(SettingsRegistryTest, MissingWrongTypeAndWrongSizeValuesKeepTheField)
{
    unique_hkey key = CreateKey();
    SetRaw(key.get(), L"Letterbox", REG_SZ, L"0", 4); // a string, 4 bytes long
    const unsigned short two = 0;
    SetRaw(key.get(), L"Percent", REG_BINARY, &two, sizeof two); // too short
    const unsigned long long eight = 0;
    SetRaw(key.get(), L"Time", REG_QWORD, &eight, sizeof eight); // too long
    SetDword(key.get(), L"Override", 1);

    ThumbnailSettings s;
    s.time = 42;
    s.glossy = 1; // from an earlier request of the same object; "Glossy" is missing
    EXPECT_TRUE(ReadSettings(s));
    EXPECT_EQ(s.letterbox, 1u);
    EXPECT_EQ(s.percent, 1u);
    EXPECT_EQ(s.time, 42u);
    EXPECT_EQ(s.glossy, 1u);
    EXPECT_EQ(s.override, 1u);
}

TEST_F(SettingsRegistryTest, LetterboxWinsOverBlack)
{
    unique_hkey key = CreateKey();
    SetDword(key.get(), L"BlackBkg", 1);
    SetDword(key.get(), L"Letterbox", 1);
    SetDword(key.get(), L"WindowBkg", 1);
    ThumbnailSettings s;
    ASSERT_TRUE(ReadSettings(s));
    EXPECT_EQ(BackgroundOf(s), Background::Letterbox);
}

TEST_F(SettingsRegistryTest, KeyThatDeniesWritingIsStillRead)
{
    unique_hkey key = CreateKey();
    SetDword(key.get(), L"Percent", 50);

    // Everyone may read the key, nobody may change it.
    PSID everyone = nullptr;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    ASSERT_TRUE(
        ::AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone));
    EXPLICIT_ACCESSW access[2] = {};
    access[0].grfAccessPermissions = KEY_SET_VALUE | KEY_CREATE_SUB_KEY;
    access[0].grfAccessMode = DENY_ACCESS;
    access[1].grfAccessPermissions = KEY_READ;
    access[1].grfAccessMode = GRANT_ACCESS;
    for (auto& a : access) {
        a.Trustee.TrusteeForm = TRUSTEE_IS_SID;
        a.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
        a.Trustee.ptstrName = static_cast<LPWSTR>(everyone);
    }
    PACL acl = nullptr;
    ASSERT_EQ(::SetEntriesInAclW(2, access, nullptr, &acl), ERROR_SUCCESS);
    SECURITY_DESCRIPTOR sd;
    ::InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&sd, TRUE, acl, FALSE);
    ASSERT_EQ(::RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, &sd), ERROR_SUCCESS);
    key.reset();

    // The lock is real: asking for write access is refused.
    unique_hkey writable;
    EXPECT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ | KEY_SET_VALUE,
                              writable.put()),
              ERROR_ACCESS_DENIED);

    ThumbnailSettings s;
    EXPECT_TRUE(ReadSettings(s));
    EXPECT_EQ(s.percent, 50u);

    ::LocalFree(acl);
    ::FreeSid(everyone);
}

} // namespace
