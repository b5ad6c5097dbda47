// Glimvex's self-registration: the keys its scripts and type library leave
// in HKEY_CLASSES_ROOT of its own registry view, and what unregistration
// takes away again.
#include "base/proc_address.h"
#include "base/unique_handle.h"
#include "product/identifiers.h"
#include "support/program_run.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string>

namespace {

using namespace kadrix::ids;
const std::wstring kClassKey = std::wstring(L"CLSID\\") + kMyFirstGlimvexClsid;
const std::wstring kAppIdKey = std::wstring(L"AppID\\") + kGlimvexAppId;
constexpr wchar_t kAppIdDllKey[] = L"AppID\\Glimvex.DLL";
const std::wstring kTypeLibKey = std::wstring(L"TypeLib\\") + kGlimvexLibId;
const std::wstring kShellKey = std::wstring(L".kxtest\\ShellEx\\") + kThumbnailProviderHandlerKey;

// This process's own view of the registry, and the other bitness's.
constexpr REGSAM kOwnView = 0;
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

bool KeyExists(const std::wstring& path, REGSAM view = kOwnView)
{
    kadrix::unique_hkey key;
    return ::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ | view, key.put()) ==
           ERROR_SUCCESS;
}

std::optional<std::wstring> ReadString(const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t data[1024];
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, data,
                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

class GlimvexRegistrationTest : public testing::Test
{
protected:
    void SetUp() override
    {
        module_.reset(::LoadLibraryW(L"Glimvex.dll"));
        ASSERT_TRUE(module_);
        register_ = kadrix::GetProcAddressAs<Entry>(module_.get(), "DllRegisterServer");
        unregister_ = kadrix::GetProcAddressAs<Entry>(module_.get(), "DllUnregisterServer");
        wchar_t path[MAX_PATH];
        ::GetModuleFileNameW(module_.get(), path, MAX_PATH);
        modulePath_ = path;
        (void)unregister_(); // a clean start, whatever an earlier run left
    }
    void TearDown() override { (void)unregister_(); }

    void ExpectRegistered() const
    {
        EXPECT_EQ(ReadString(kAppIdKey), L"Glimvex");
        EXPECT_EQ(ReadString(kAppIdDllKey, L"AppID"), kGlimvexAppId);
        EXPECT_EQ(ReadString(kClassKey), L"Vantrel Kadrix thumb extractor class");
        const std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
        EXPECT_EQ(ReadString(server), modulePath_);
        EXPECT_EQ(ReadString(server, L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(ReadString(std::wstring(kTypeLibKey) + L"\\1.0"), L"Glimvex 1.0 Type Library");
    }

    using Entry = HRESULT(STDAPICALLTYPE*)();
    kadrix::unique_hmodule module_;
    Entry register_ = nullptr;
    Entry unregister_ = nullptr;
    std::wstring modulePath_;
};

TEST_F(GlimvexRegistrationTest, RegistersClassAppIdAndTypeLibraryInItsOwnView)
{
    ASSERT_EQ(register_(), S_OK);
    ExpectRegistered();
    // 64-bit Explorer loads only 64-bit servers and 32-bit programs only
    // 32-bit ones: each build registers in its own view alone.
    EXPECT_FALSE(KeyExists(kClassKey, kOtherView));
}

TEST_F(GlimvexRegistrationTest, RegisteringAgainReplacesTheClassKeyWhole)
{
    ASSERT_EQ(register_(), S_OK);
    kadrix::unique_hkey stale;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, (std::wstring(kClassKey) + L"\\Stale").c_str(),
                                0, nullptr, 0, KEY_WRITE, nullptr, stale.put(), nullptr),
              ERROR_SUCCESS);
    stale.reset();
    ASSERT_EQ(register_(), S_OK);
    EXPECT_FALSE(KeyExists(kClassKey + L"\\Stale"));
    ExpectRegistered();
}

TEST_F(GlimvexRegistrationTest, UnregisteringLeavesSharedParentsAndShellKeys)
{
    kadrix::unique_hkey shell;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CLASSES_ROOT, kShellKey.c_str(), 0, nullptr, 0, KEY_WRITE,
                                nullptr, shell.put(), nullptr),
              ERROR_SUCCESS);
    shell.reset();

    ASSERT_EQ(register_(), S_OK);
    ASSERT_EQ(unregister_(), S_OK);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kAppIdKey));
    EXPECT_FALSE(KeyExists(kAppIdDllKey));
    EXPECT_FALSE(KeyExists(kTypeLibKey));
    EXPECT_TRUE(KeyExists(L"CLSID"));
    EXPECT_TRUE(KeyExists(L"AppID"));
    EXPECT_TRUE(KeyExists(kShellKey)); // the setup program's to remove

    ::RegDeleteTreeW(HKEY_CLASSES_ROOT, L".kxtest");
}

// An uninstaller meets parts that are already gone: before any
// registration, a second unregistration, a type library someone removed.
// Each counts as removed, and every other part is still taken away.
TEST_F(GlimvexRegistrationTest, UnregisteringWhatIsGoneSucceedsAndLeavesNothing)
{
    EXPECT_EQ(unregister_(), S_OK); // SetUp left nothing registered

    ASSERT_EQ(register_(), S_OK);
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CLASSES_ROOT, kTypeLibKey.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(unregister_(), S_OK);
    EXPECT_EQ(unregister_(), S_OK);
    for (const std::wstring& key : {kClassKey, kAppIdKey, std::wstring(kAppIdDllKey), kTypeLibKey})
        EXPECT_FALSE(KeyExists(key)) << key;
}

TEST_F(GlimvexRegistrationTest, Regsvr32RegistersAndUnregisters)
{
    auto run = [](const std::wstring& arguments) -> DWORD {
        // regsvr32 of this process's bitness, as an installer would start it.
        wchar_t system[MAX_PATH];
        ::GetSystemDirectoryW(system, MAX_PATH);
        const kadrix::test::ProgramRun run =
            kadrix::test::RunProgram(std::wstring(system) + L"\\regsvr32.exe", arguments);
        EXPECT_TRUE(run.boxes.empty()); // /s: no message, success or failure
        return run.finished ? run.exitCode : ~0u;
    };
    const std::wstring dll = L"\"" + modulePath_ + L"\"";
    ASSERT_EQ(run(L"/s " + dll), 0u);
    ExpectRegistered();
    ASSERT_EQ(run(L"/u /s " + dll), 0u);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(kAppIdKey));
}

} // namespace
