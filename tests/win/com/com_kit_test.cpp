// The COM server kit's boundaries, with both libraries' objects linked in: a
// class table of any length, and allocation failures inside COM methods and
// the registration entry points answered as HRESULTs, never as exceptions.
#include "base/com_ptr.h"
#include "base/drop_files.h"
#include "com/module.h"
#include "property_sheet/thumb_tabliq.h"
#include "support/failing_allocations.h"
#include "thumbnail_handler/my_first_glimvex.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <thumbcache.h>

#include <string>
#include <vector>

namespace {

using namespace kadrix;
using kadrix::test::FailingAllocations;

// A path long enough that copying it must allocate.
constexpr wchar_t kClip[] = L"C:\\users\\nobody\\videos\\a clip that is not there.avi";

com_ptr<IUnknown> NewExtractor()
{
    com_ptr<IUnknown> object;
    EXPECT_EQ(kadrix::com::CreateInstance<CMyFirstGlimvex>(IID_IUnknown, object.put_void()), S_OK);
    return object;
}

TEST(ComKit, ThumbnailRequestsAnswerAnAllocationFailureWithOutOfMemory)
{
    com_ptr<IUnknown> object = NewExtractor();
    auto initialize = object.try_query<IInitializeWithFile>();
    auto provider = object.try_query<IThumbnailProvider>();
    auto persist = object.try_query<IPersistFile>();
    auto extract = object.try_query<IExtractImage>();
    ASSERT_TRUE(initialize && provider && persist && extract);
    ASSERT_EQ(initialize->Initialize(kClip, STGM_READ), S_OK);

    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    HRESULT provided, extracted;
    {
        FailingAllocations failing;
        provided = provider->GetThumbnail(96, &bitmap, &alpha);
    }
    EXPECT_EQ(provided, E_OUTOFMEMORY);
    EXPECT_EQ(bitmap, nullptr);

    ASSERT_EQ(persist->Load(kClip, STGM_READ), S_OK);
    const SIZE size{96, 96};
    wchar_t location[MAX_PATH];
    DWORD priority = 0, flags = 0;
    ASSERT_EQ(extract->GetLocation(location, MAX_PATH, &priority, &size, 32, &flags), S_OK);
    bitmap = reinterpret_cast<HBITMAP>(1);
    {
        FailingAllocations failing;
        extracted = extract->Extract(&bitmap);
    }
    EXPECT_EQ(extracted, E_OUTOFMEMORY);
    EXPECT_EQ(bitmap, nullptr);
}

BOOL CALLBACK CountPage(HPROPSHEETPAGE, LPARAM calls)
{
    ++*reinterpret_cast<int*>(calls);
    return TRUE;
}

TEST(ComKit, APageThatCantBeMadeIsOutOfMemoryAndNeverHandedToTheSheet)
{
    com_ptr<IUnknown> object;
    ASSERT_EQ(kadrix::com::CreateInstance<CThumbTabliq>(IID_IUnknown, object.put_void()), S_OK);
    com_ptr<IDataObject> selection;
    ASSERT_EQ(kadrix::CreateDropFilesDataObject({kClip}, selection.put()), S_OK);
    ASSERT_EQ(object.try_query<IShellExtInit>()->Initialize(nullptr, selection.get(), nullptr),
              S_OK);
    auto sheet = object.try_query<IShellPropSheetExt>();
    int calls = 0;
    HRESULT added;
    {
        FailingAllocations failing;
        added = sheet->AddPages(&CountPage, reinterpret_cast<LPARAM>(&calls));
    }
    EXPECT_EQ(added, E_OUTOFMEMORY);
    EXPECT_EQ(calls, 0);
}

TEST(ComKit, RegistrationAnswersAnAllocationFailureWithOutOfMemory)
{
    kadrix::com::Module& module = kadrix::com::Module::Instance();
    HRESULT registered, unregistered;
    {
        FailingAllocations failing;
        registered = module.RegisterServer(101, L"{00000000-0000-0000-0000-000000000001}");
        unregistered = module.UnregisterServer(101, L"{00000000-0000-0000-0000-000000000001}");
    }
    EXPECT_EQ(registered, E_OUTOFMEMORY);
    EXPECT_EQ(unregistered, E_OUTOFMEMORY);
}

// A class that is its own factory's product: only its identity matters here.
class Plain final : public kadrix::com::ServerObject<IUnknown>
{
    ~Plain() override = default;
};

TEST(ComKit, AClassTableOfAnyLengthLoadsAndServesItsLastClass)
{
    static CLSID ids[12];
    static kadrix::com::ClassEntry table[12];
    for (int i = 0; i < 12; ++i) {
        ids[i] = {0x6b1d0000u + static_cast<unsigned>(i), 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
        table[i].clsid = &ids[i];
        table[i].create = &kadrix::com::CreateInstance<Plain>;
    }
    kadrix::com::Module& module = kadrix::com::Module::Instance();
    ASSERT_TRUE(module.Attach(::GetModuleHandleW(nullptr), table, 12));
    {
        com_ptr<IClassFactory> factory;
        ASSERT_EQ(module.GetClassObject(ids[11], IID_IClassFactory, factory.put_void()), S_OK);
        com_ptr<IUnknown> object;
        EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, object.put_void()), S_OK);
        EXPECT_EQ(module.CanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(module.CanUnloadNow(), S_OK);
    module.Detach();
}

} // namespace
