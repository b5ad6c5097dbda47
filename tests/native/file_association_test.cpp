#include "setup/core/file_association.h"

#include "fake_registry.h"
#include "product/identifiers.h"

#include <gtest/gtest.h>

#include <string>

using namespace kadrix::setup;
using kadrix::test::FakeAccess;
using kadrix::test::FakeRegistry;

namespace {

using namespace kadrix::ids;
constexpr const wchar_t* kExtractor = kMyFirstGlimvexClsid;
constexpr const wchar_t* kSheet = kThumbTabliqClsid;
constexpr AssociatedClasses kClasses{kExtractor, kSheet};
const std::wstring kImageKey = std::wstring(L".avi\\ShellEx\\") + kExtractImageHandlerKey;
const std::wstring kProviderKey = std::wstring(L".avi\\ShellEx\\") + kThumbnailProviderHandlerKey;
const std::wstring kSheetKey = std::wstring(L"avifile\\ShellEx\\PropertySheetHandlers\\") + kSheet;

class FileAssociation : public testing::Test
{
protected:
    void Register() { RegisterVideoFile(access_, kClasses, L".avi"); }
    void Unregister() { UnRegisterVideoFile(access_, kClasses, L".avi"); }

    // The values of every key; keys alone may differ (registration leaves
    // the keys it created).
    std::map<std::wstring, FakeRegistry::Values> ValuesOnly() const
    {
        std::map<std::wstring, FakeRegistry::Values> values;
        for (const auto& [path, keyValues] : registry_.tree())
            if (!keyValues.empty())
                values[path] = keyValues;
        return values;
    }

    FakeRegistry registry_;
    FakeAccess access_{registry_};
};

TEST_F(FileAssociation, HandlerKeyWithoutDefaultValue)
{
    registry_.SetString(L".avi", L"", L"avifile");
    registry_.AddKey(L"avifile");
    const auto before = ValuesOnly();

    Register();
    for (const std::wstring& key : {kImageKey, kProviderKey}) {
        EXPECT_EQ(registry_.GetString(key, L""), kExtractor) << key;
        EXPECT_EQ(registry_.Get(key, L"VLOld"), nullptr) << key;
    }
    ASSERT_NE(registry_.Get(L"avifile", L"Treatment"), nullptr);
    EXPECT_EQ(*registry_.Get(L"avifile", L"Treatment"), DWordValue(0));
    EXPECT_TRUE(registry_.HasKey(kSheetKey));
    EXPECT_EQ(registry_.Get(L".avi", L"Treatment"), nullptr);

    Unregister();
    EXPECT_EQ(ValuesOnly(), before);
    EXPECT_FALSE(registry_.HasKey(kSheetKey));
    // The keys registration created stay, empty.
    EXPECT_TRUE(registry_.HasKey(kImageKey));
    EXPECT_TRUE(registry_.HasKey(L"avifile\\ShellEx\\PropertySheetHandlers"));
}

TEST_F(FileAssociation, ForeignHandlerIsSavedAndRestoredEvenAfterTwoRegistrations)
{
    registry_.SetString(L".avi", L"", L"avifile");
    registry_.AddKey(L"avifile");
    registry_.SetString(kImageKey, L"", L"{X-IMAGE}");
    registry_.SetString(kProviderKey, L"", L"{X-PROVIDER}");
    const auto before = ValuesOnly();

    Register();
    EXPECT_EQ(registry_.GetString(kImageKey, L"VLOld"), L"{X-IMAGE}");
    EXPECT_EQ(registry_.GetString(kProviderKey, L"VLOld"), L"{X-PROVIDER}");
    Register();
    EXPECT_EQ(registry_.GetString(kImageKey, L"VLOld"), L"{X-IMAGE}");
    EXPECT_EQ(registry_.GetString(kImageKey, L""), kExtractor);

    Unregister();
    EXPECT_EQ(ValuesOnly(), before);
}

TEST_F(FileAssociation, UnregistrationComparesWithoutRegardToCase)
{
    registry_.SetString(L".avi", L"", L"");
    registry_.SetString(kImageKey, L"", L"{5d2a7c10-3b94-4e61-a8f2-7c0e19b4d6a3}");
    Unregister();
    EXPECT_EQ(registry_.Get(kImageKey, L""), nullptr);
}

TEST_F(FileAssociation, SavedHandlerIsRestoredOverAnotherClass)
{
    registry_.SetString(kImageKey, L"", L"{OTHER}");
    registry_.SetString(kImageKey, L"VLOld", L"{X}");
    Unregister();
    EXPECT_EQ(registry_.GetString(kImageKey, L""), L"{X}");
    EXPECT_EQ(registry_.Get(kImageKey, L"VLOld"), nullptr);
}

TEST_F(FileAssociation, EmptyProgIdPutsTreatmentAndSheetHandlerInTheExtensionKey)
{
    registry_.SetString(L".avi", L"", L"");
    const auto before = ValuesOnly();
    Register();
    EXPECT_EQ(*registry_.Get(L".avi", L"Treatment"), DWordValue(0));
    EXPECT_TRUE(registry_.HasKey(std::wstring(L".avi\\ShellEx\\PropertySheetHandlers\\") + kSheet));
    Unregister();
    EXPECT_EQ(ValuesOnly(), before);
}

TEST_F(FileAssociation, ProgIdWithoutKeyGetsNoTreatmentAndNoKey)
{
    registry_.SetString(L".avi", L"", L"nokey");
    const auto before = ValuesOnly();
    Register();
    EXPECT_EQ(registry_.GetString(kImageKey, L""), kExtractor);
    EXPECT_EQ(registry_.GetString(kProviderKey, L""), kExtractor);
    EXPECT_FALSE(registry_.HasKey(L"nokey"));
    EXPECT_EQ(registry_.Get(L".avi", L"Treatment"), nullptr);
    Unregister();
    EXPECT_EQ(ValuesOnly(), before);
    EXPECT_FALSE(registry_.HasKey(L"nokey"));
}

TEST_F(FileAssociation, MissingOrUnopenableExtensionIsLeftAlone)
{
    registry_.SetString(L".mkv", L"", L"mkvfile");
    const auto before = registry_.tree();
    Register();
    Unregister();
    EXPECT_EQ(registry_.tree(), before);

    registry_.SetString(L".avi", L"", L"avifile");
    registry_.denied.insert(L".avi");
    const auto withAvi = registry_.tree();
    Register();
    EXPECT_EQ(registry_.tree(), withAvi);
}

TEST_F(FileAssociation, TreatmentOfTheFileTypeIsKeptAndRestored)
{
    registry_.SetString(L".avi", L"", L"avifile");
    registry_.Set(L"avifile", L"Treatment", DWordValue(2));
    const auto before = ValuesOnly();

    Register();
    EXPECT_EQ(*registry_.Get(L"avifile", L"Treatment"), DWordValue(0));
    Register(); // the 0 now in place is ours: the saved 2 must survive
    Unregister();
    EXPECT_EQ(ValuesOnly(), before);
}

TEST_F(FileAssociation, UnregistrationWithoutRegistrationKeepsForeignValues)
{
    registry_.SetString(L".avi", L"", L"avifile");
    registry_.Set(L"avifile", L"Treatment", DWordValue(2));
    registry_.SetString(kImageKey, L"", L"{X}");
    const auto before = ValuesOnly();
    Unregister();
    EXPECT_EQ(ValuesOnly(), before);
}

TEST_F(FileAssociation, MissingKeysEndTheUnregistrationStep)
{
    // No ShellEx: the extension key's own values are not ours to restore.
    registry_.SetString(L".avi", L"", L"avifile");
    registry_.SetString(L".avi", L"VLOld", L"{Z}");
    // A ProgID without key: the extension key's treatment is not ours either.
    registry_.SetString(L".mov", L"", L"nokey");
    registry_.Set(L".mov", L"Treatment", DWordValue(1));
    registry_.AddKey(std::wstring(L".mov\\ShellEx\\PropertySheetHandlers\\") + kSheet);
    const auto before = registry_.tree();

    Unregister();
    UnRegisterVideoFile(access_, kClasses, L".mov");
    EXPECT_EQ(registry_.tree(), before);
}

TEST_F(FileAssociation, RegistryErrorsEndTheOperationWithEarlierStepsDone)
{
    registry_.SetString(L".avi", L"", L"avifile");
    registry_.AddKey(L"avifile");
    registry_.readOnly.insert(L"avifile");
    try {
        Register();
        FAIL() << "no error";
    } catch (const RegistryError& error) {
        EXPECT_EQ(error.message(), L"Failed to set data for 'Treatment'");
    }
    EXPECT_EQ(registry_.GetString(kImageKey, L""), kExtractor);
    EXPECT_FALSE(registry_.HasKey(kProviderKey));

    registry_.SetString(kImageKey, L"VLOld", L"{X}");
    registry_.readOnly = {FakeRegistry::Lower(kImageKey)};
    try {
        Unregister();
        FAIL() << "no error";
    } catch (const RegistryError& error) {
        EXPECT_EQ(error.message(), L"Failed to set data for ''");
    }
    registry_.readOnly.clear();

    registry_.Set(kProviderKey, L"", DWordValue(1));
    try {
        Register();
        FAIL() << "no error";
    } catch (const RegistryError& error) {
        EXPECT_EQ(error.message(), L"Invalid data type for ''");
    }
}

TEST_F(FileAssociation, UncreatableHandlerKeyNeverWritesIntoTheExtensionKey)
{
    registry_.SetString(L".avi", L"", L"avifile");
    registry_.AddKey(L".avi\\ShellEx");
    registry_.readOnly.insert(L".avi\\shellex");
    Register();
    EXPECT_EQ(registry_.GetString(L".avi", L""), L"avifile");
    EXPECT_EQ(registry_.Get(L".avi\\ShellEx", L""), nullptr);
}

} // namespace
