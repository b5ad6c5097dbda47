// The two servers' self-registration: the keys their scripts and type
// libraries leave in HKEY_CLASSES_ROOT of their own registry view, and what
// unregistration takes away again.
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

// What one server registers.
struct Server
{
    const wchar_t* dll;
    const wchar_t* name;      // the AppID's default value, "<name>.DLL" its second key
    const wchar_t* className; // the class key's default value
    const wchar_t* clsid;
    const wchar_t* appId;
    const wchar_t* libId;
    const wchar_t* libraryName; // the type library's help string
    std::wstring handlerKey;    // what the setup program enters below a file type's ShellEx
};

const Server kServers[] = {
    {L"Glimvex.dll", L"Glimvex", L"Vantrel Kadrix thumb extractor class", kMyFirstGlimvexClsid,
     kGlimvexAppId, kGlimvexLibId, L"Glimvex 1.0 Type Library", kThumbnailProviderHandlerKey},
    {L"Tabliq.dll", L"Tabliq", L"Vantrel Kadrix property sheet", kThumbTabliqClsid, kTabliqAppId,
     kTabliqLibId, L"Tabliq 1.0 Type Library",
     std::wstring(kPropertySheetHandlersKey) + L"\\" + kThumbTabliqClsid},
};

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

class ServerRegistrationTest : public testing::TestWithParam<Server>
{
protected:
    void SetUp() override
    {
        const Server& server = GetParam();
        kClassKey = std::wstring(L"CLSID\\") + server.clsid;
        kAppIdKey = std::wstring(L"AppID\\") + server.appId;
        kAppIdDllKey = std::wstring(L"AppID\\") + server.name + L".DLL";
        kTypeLibKey = std::wstring(L"TypeLib\\") + server.libId;
        kShellKey = std::wstring(L".kxtest\\ShellEx\\") + server.handlerKey;
        module_.reset(::LoadLibraryW(server.dll));
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
        const Server& server = GetParam();
        EXPECT_EQ(ReadString(kAppIdKey), server.name);
        EXPECT_EQ(ReadString(kAppIdDllKey, L"AppID"), server.appId);
        EXPECT_EQ(ReadString(kClassKey), server.className);
        const std::wstring inproc = kClassKey + L"\\InprocServer32";
        EXPECT_EQ(ReadString(inproc), modulePath_);
        EXPECT_EQ(ReadString(inproc, L"ThreadingModel"), L"Apartment");
        EXPECT_EQ(ReadString(std::wstring(kTypeLibKey) + L"\\1.0"), server.libraryName);
    }

    // The keys of this server, named after its identifiers.
    std::wstring kClassKey, kAppIdKey, kAppIdDllKey, kTypeLibKey, kShellKey;

    using Entry = HRESULT(STDAPICALLTYPE*)();
    kadrix::unique_hmodule module_;
    Entry register_ = nullptr;
    Entry unregister_ = nullptr;
    std::wstring modulePath_;
};

TEST_P(ServerRegistrationTest, RegistersClassAppIdAndTypeLibraryInItsOwnView)
{
    ASSERT_EQ(register_(), S_OK);
    ExpectRegistered();
    // 64-bit Explorer loads only 64-bit servers and 32-bit programs only
    // 32-bit ones: each build registers in its own view alone.
    EXPECT_FALSE(KeyExists(kClassKey, kOtherView));
}

TEST_P(ServerRegistrationTest, RegisteringAgainReplacesTheClassKeyWhole)
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

TEST_P(ServerRegistrationTest, UnregisteringLeavesSharedParentsAndShellKeys)
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
TEST_P(ServerRegistrationTest, UnregisteringWhatIsGoneSucceedsAndLeavesNothing)
{
    EXPECT_EQ(unregister_(), S_OK); // SetUp left nothing registered

    ASSERT_EQ(register_(), S_OK);
    ASSERT_EQ(::RegDeleteTreeW(HKEY_CLASSES_ROOT, kTypeLibKey.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(unregister_(), S_OK);
    EXPECT_EQ(unregister_(), S_OK);
    for (const std::wstring& key : {kClassKey, kAppIdKey, kAppIdDllKey, kTypeLibKey})
        EXPECT_FALSE(KeyExists(key)) << key;
}

TEST_P(ServerRegistrationTest, Regsvr32RegistersAndUnregisters)
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

INSTANTIATE_TEST_SUITE_P(Both, ServerRegistrationTest, testing::ValuesIn(kServers),
                         [](const testing::TestParamInfo<Server>& info) {
                             return info.param.dll[0] == L'G' ? std::string("Glimvex")
                                                              : std::string("Tabliq");
                         });

} // namespace
