// Zelkon run as an installer runs it: a real process in the prefix, with the
// classes root compared before and after, and the thumbnail cache cleaned in
// a LOCALAPPDATA of the test's own.
#include "product/identifiers.h"
#include "setup/core/file_association.h"
#include "support/child_process.h"
#include "support/program_run.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace kadrix::test;
using kadrix::ids::kExtractImageHandlerKey;
using kadrix::ids::kThumbnailProviderHandlerKey;
using kadrix::setup::kVideoExtensions;

namespace {

constexpr const wchar_t* kExtractor = kadrix::ids::kMyFirstGlimvexClsid;
constexpr const wchar_t* kSheet = kadrix::ids::kThumbTabliqClsid;
constexpr wchar_t kForeign[] = L"{0F0F0F0F-1111-2222-3333-444444444444}";

// The value of every key below a root, by path and name; keys without
// values are left out (registration leaves the keys it created).
using Snapshot = std::map<std::wstring, std::pair<DWORD, std::vector<BYTE>>>;

void CollectKey(HKEY key, const std::wstring& path, Snapshot& snapshot)
{
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256, type = 0, size = 0;
        if (::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS)
            break;
        std::vector<BYTE> data(size);
        nameLength = 256;
        ::RegEnumValueW(key, i, name, &nameLength, nullptr, &type, data.data(), &size);
        snapshot[path + L"|" + name] = {type, data};
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (::RegEnumKeyExW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY child = nullptr;
        if (::RegOpenKeyExW(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            CollectKey(child, path + L"\\" + name, snapshot);
            ::RegCloseKey(child);
        }
    }
}

std::wstring DefaultString(HKEY key, const std::wstring& path, const wchar_t* name = nullptr)
{
    wchar_t text[256] = {};
    DWORD size = sizeof text;
    if (::RegGetValueW(key, path.c_str(), name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return L"<none>";
    return text;
}

bool KeyExists(const std::wstring& path)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

void SetString(const std::wstring& path, const wchar_t* name, const std::wstring& text)
{
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), name, REG_SZ, text.c_str(),
                                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
}

void SetDword(const std::wstring& path, const wchar_t* name, DWORD value)
{
    ASSERT_EQ(
        ::RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), name, REG_DWORD, &value, sizeof value),
        ERROR_SUCCESS);
}

std::wstring Handler(const std::wstring& extension, const wchar_t* handlerKey)
{
    return extension + L"\\ShellEx\\" + handlerKey;
}

void CollectPath(const std::wstring& path, Snapshot& snapshot)
{
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    CollectKey(key, path, snapshot);
    ::RegCloseKey(key);
}

// The keys of the 14 extensions and of their file types.
Snapshot ClassesSnapshot()
{
    Snapshot snapshot;
    for (const wchar_t* extension : kVideoExtensions) {
        CollectPath(extension, snapshot);
        const std::wstring progId = DefaultString(HKEY_CLASSES_ROOT, extension);
        if (progId != L"<none>" && !progId.empty())
            CollectPath(progId, snapshot);
    }
    return snapshot;
}

std::wstring Describe(const Snapshot& before, const Snapshot& after)
{
    std::wstring text;
    for (const auto& [name, value] : after)
        if (!before.count(name) || before.at(name) != value)
            text += L"added or changed: " + name + L"\n";
    for (const auto& [name, value] : before)
        if (!after.count(name))
            text += L"removed: " + name + L"\n";
    return text;
}

class CommandLine : public testing::Test
{
protected:
    // Four prepared extensions; the other ten stay as the prefix has them.
    void SetUp() override
    {
        for (const wchar_t* key : {L".asf", L".asx", L".avi", L".flv", L"kadrix.test.asf",
                                   L"kadrix.test.asx", L"kadrix.test.nokey"})
            ::RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
        // No handler, and a file type with a treatment of its own.
        SetString(L".asf", nullptr, L"kadrix.test.asf");
        SetDword(L"kadrix.test.asf", L"Treatment", 2);
        // A foreign handler X in both handler keys.
        SetString(L".asx", nullptr, L"kadrix.test.asx");
        SetString(L"kadrix.test.asx", nullptr, L"ASX playlist");
        SetString(Handler(L".asx", kExtractImageHandlerKey), nullptr, kForeign);
        SetString(Handler(L".asx", kThumbnailProviderHandlerKey), nullptr, kForeign);
        // An empty ProgID.
        SetString(L".avi", nullptr, L"");
        // A ProgID without key.
        SetString(L".flv", nullptr, L"kadrix.test.nokey");
    }

    static ProgramRun Zelkon(const std::wstring& arguments, const Environment& environment = {},
                             const std::wstring& closeWindow = {})
    {
        return RunProgram(BesideTest(L"Zelkon.exe"), arguments, environment, closeWindow);
    }

    static void ExpectQuietSuccess(const ProgramRun& run)
    {
        EXPECT_TRUE(run.finished);
        EXPECT_EQ(run.exitCode, 0u);
        for (const ShownBox& box : run.boxes)
            ADD_FAILURE() << "box: " << testing::PrintToString(box.title) << " "
                          << testing::PrintToString(box.text);
    }
};

TEST_F(CommandLine, RegisterTwiceThenUnregisterRestoresTheClassesRoot)
{
    const Snapshot before = ClassesSnapshot();

    ExpectQuietSuccess(Zelkon(L"-register"));
    // No handler: ours, nothing saved; the file type's treatment kept aside.
    EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".asf", kExtractImageHandlerKey)),
              kExtractor);
    EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".asf", kExtractImageHandlerKey), L"VLOld"),
              L"<none>");
    EXPECT_TRUE(
        KeyExists(std::wstring(L"kadrix.test.asf\\ShellEx\\PropertySheetHandlers\\") + kSheet));
    // A foreign handler: saved in "VLOld".
    for (const wchar_t* handler : {kExtractImageHandlerKey, kThumbnailProviderHandlerKey}) {
        EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".asx", handler)), kExtractor);
        EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".asx", handler), L"VLOld"), kForeign);
    }
    // An empty ProgID: treatment and sheet handler in the extension key.
    EXPECT_TRUE(KeyExists(std::wstring(L".avi\\ShellEx\\PropertySheetHandlers\\") + kSheet));
    // A ProgID without key: handlers only, no key made for the ProgID.
    EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".flv", kThumbnailProviderHandlerKey)),
              kExtractor);
    EXPECT_FALSE(KeyExists(L"kadrix.test.nokey"));

    ExpectQuietSuccess(Zelkon(L"-register"));
    EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".asx", kExtractImageHandlerKey), L"VLOld"),
              kForeign);

    ExpectQuietSuccess(Zelkon(L"-unregister"));
    const Snapshot after = ClassesSnapshot();
    EXPECT_TRUE(after == before) << testing::PrintToString(Describe(before, after));
    EXPECT_FALSE(KeyExists(std::wstring(L".avi\\ShellEx\\PropertySheetHandlers\\") + kSheet));
}

TEST_F(CommandLine, UnregisterWithoutRegistrationChangesNothing)
{
    const Snapshot before = ClassesSnapshot();
    ExpectQuietSuccess(Zelkon(L"-unregister"));
    EXPECT_TRUE(ClassesSnapshot() == before);
}

TEST_F(CommandLine, OtherSpellingOpensTheWindow)
{
    const Snapshot before = ClassesSnapshot();
    const ProgramRun run = Zelkon(L"-REGISTER", {}, L"Kadrix Vuvu setup");
    EXPECT_TRUE(run.windowSeen);
    ExpectQuietSuccess(run);
    EXPECT_TRUE(ClassesSnapshot() == before);
}

// A stored value of the wrong type is reported, and the window still opens
// with what was read before it, so the user can put it right with Apply.
TEST_F(CommandLine, BadStoredValueIsReportedAndTheWindowStillOpens)
{
    constexpr wchar_t kKey[] = L"Software\\Vantrel\\KadrixVuvu";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
    const DWORD glossy = 1;
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Glossy", REG_DWORD, &glossy, 4),
              ERROR_SUCCESS);
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CURRENT_USER, kKey, L"Percent", REG_SZ, L"7", 4),
              ERROR_SUCCESS);

    const ProgramRun run =
        RunProgram(BesideTest(L"Zelkon.exe"), L"", {}, L"Kadrix Vuvu setup", 30000,
                   [](HWND window) { ::SendMessageW(::GetDlgItem(window, IDOK), BM_CLICK, 0, 0); });
    EXPECT_TRUE(run.windowSeen);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, L"Kadrix setup");
    EXPECT_EQ(run.boxes[0].text, L"Invalid data type for 'Percent'");

    DWORD type = 0, data = 0, size = sizeof data;
    EXPECT_EQ(::RegGetValueW(HKEY_CURRENT_USER, kKey, L"Percent", RRF_RT_ANY, &type, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(data, 1u); // the default: the bad value was not read
    size = sizeof data;
    EXPECT_EQ(
        ::RegGetValueW(HKEY_CURRENT_USER, kKey, L"Glossy", RRF_RT_REG_DWORD, nullptr, &data, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(data, 1u); // read before the bad one
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kKey);
}

TEST_F(CommandLine, OnlyTheFirstParameterCounts)
{
    TempDir local;
    const std::wstring folder = local.path() + L"\\Microsoft\\Windows\\Explorer";
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr), ERROR_SUCCESS);
    ASSERT_TRUE(WriteFileBytes(folder + L"\\thumbcache_32.db", SampleMainData(64)));

    ExpectQuietSuccess(Zelkon(L"-register -cleancache", {{L"LOCALAPPDATA", local.path()}}));
    EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".asx", kExtractImageHandlerKey)),
              kExtractor);
    EXPECT_TRUE(FileExists(folder + L"\\thumbcache_32.db"));
    ExpectQuietSuccess(Zelkon(L"-unregister"));
}

TEST_F(CommandLine, RegistryErrorEndsTheRunWithApplicationError)
{
    // A handler key whose default value is no string.
    ASSERT_EQ(::RegSetKeyValueW(HKEY_CLASSES_ROOT,
                                Handler(L".avi", kExtractImageHandlerKey).c_str(), nullptr,
                                REG_DWORD, "\1\0\0\0", 4),
              ERROR_SUCCESS);
    const ProgramRun run = Zelkon(L"-register");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    ASSERT_EQ(run.boxes.size(), 1u);
    EXPECT_EQ(run.boxes[0].title, L"Application Error");
    EXPECT_NE(run.boxes[0].text.find(L"Invalid data type for ''"), std::wstring::npos)
        << testing::PrintToString(run.boxes[0].text);
    // As a silent install runs it: the same failure, and no box that would wait.
    const ProgramRun unattended = Zelkon(L"-register", {{L"KADRIX_UNATTENDED", L"1"}});
    EXPECT_TRUE(unattended.finished);
    EXPECT_EQ(unattended.exitCode, 1u);
    EXPECT_TRUE(unattended.boxes.empty());
    // Extensions before the failing one stay registered, later ones untouched.
    EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".asx", kExtractImageHandlerKey)),
              kExtractor);
    EXPECT_EQ(DefaultString(HKEY_CLASSES_ROOT, Handler(L".flv", kExtractImageHandlerKey)),
              L"<none>");
    ::RegDeleteKeyValueW(HKEY_CLASSES_ROOT, Handler(L".avi", kExtractImageHandlerKey).c_str(),
                         nullptr);
    ExpectQuietSuccess(Zelkon(L"-unregister"));
}

TEST_F(CommandLine, CacheCleaningDeletesFreeFilesAndReportsTheOthers)
{
    TempDir local;
    const std::wstring folder = local.path() + L"\\Microsoft\\Windows\\Explorer";
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr), ERROR_SUCCESS);
    auto file = [&](const std::wstring& name) {
        return folder + L"\\" + name;
    };
    for (const wchar_t* name : {L"thumbcache_32.db", L"thumbcache_96.db", L"thumbcache_idx.db",
                                L"iconcache_32.db", L"xthumbcache_1.db"})
        ASSERT_TRUE(WriteFileBytes(file(name), SampleMainData(64)));
    ASSERT_TRUE(::CreateDirectoryW(file(L"thumbcache_dir").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(local.file(L"thumbcache_root.db"), SampleMainData(64)));

    ProgramRun run, unattended;
    {
        FileLockedByChild lock(file(L"thumbcache_32.db"));
        ASSERT_TRUE(lock.locked());
        run = Zelkon(L"-cleancache", {{L"LOCALAPPDATA", local.path()}});
        unattended =
            Zelkon(L"-cleancache", {{L"LOCALAPPDATA", local.path()}, {L"KADRIX_UNATTENDED", L"1"}});
    }
    // Unattended, the files it can't delete end the run with 1, not in boxes.
    EXPECT_EQ(unattended.exitCode, 1u);
    EXPECT_TRUE(unattended.boxes.empty());
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    ASSERT_EQ(run.boxes.size(), 2u);
    std::vector<std::wstring> texts;
    for (const ShownBox& box : run.boxes) {
        EXPECT_EQ(box.title, L"Error");
        texts.push_back(box.text);
    }
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(texts[0], L"Can't delete thumbcache_32.db Error 32");
    EXPECT_EQ(texts[1].rfind(L"Can't delete thumbcache_dir Error ", 0), 0u)
        << testing::PrintToString(texts[1]);

    EXPECT_FALSE(FileExists(file(L"thumbcache_96.db")));
    EXPECT_FALSE(FileExists(file(L"thumbcache_idx.db")));
    EXPECT_TRUE(FileExists(file(L"thumbcache_32.db")));
    EXPECT_TRUE(FileExists(file(L"iconcache_32.db")));
    EXPECT_TRUE(FileExists(file(L"xthumbcache_1.db")));
    EXPECT_TRUE(FileExists(local.file(L"thumbcache_root.db")));
    EXPECT_EQ(::GetFileAttributesW(file(L"thumbcache_dir").c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
}

TEST_F(CommandLine, CacheCleaningWithNothingToCleanIsQuiet)
{
    TempDir local;
    ExpectQuietSuccess(Zelkon(L"-cleancache", {{L"LOCALAPPDATA", local.path()}}));
}

} // namespace
