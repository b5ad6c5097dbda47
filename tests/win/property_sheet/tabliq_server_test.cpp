// Tabliq as the shell meets it: loaded with LoadLibrary and driven through
// its exports with a real drop-list data object, no registry involved.
// Conformance in the Wine style, the handler's results for one and several
// files, and the module's unload rule while objects, factories and pages live.
#include "base/com_ptr.h"
#include "base/drop_files.h"
#include "product/identifiers.h"
#include "support/com_conformance.h"
#include "support/server_library_test.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <vector>

using kadrix::com_ptr;
using kadrix::test::RefCount;

namespace {

com_ptr<IDataObject> Selection(const std::vector<std::wstring>& files)
{
    com_ptr<IDataObject> data;
    EXPECT_EQ(kadrix::CreateDropFilesDataObject(files, data.put()), S_OK);
    return data;
}

// The pages a handler hands over, as the shell's callback collects them.
struct Collected
{
    std::vector<HPROPSHEETPAGE> pages;
    int calls = 0;
};

BOOL CALLBACK Collect(HPROPSHEETPAGE page, LPARAM lParam)
{
    auto* collected = reinterpret_cast<Collected*>(lParam);
    ++collected->calls;
    collected->pages.push_back(page);
    return TRUE;
}

class TabliqServerTest : public kadrix::test::ServerLibraryTest<TabliqServerTest>
{
public:
    static constexpr const wchar_t* kLibrary = L"Tabliq.dll";
    static constexpr kadrix::test::Apartment kApartment = kadrix::test::Apartment::Ole;
    static constexpr const CLSID& kClass = CLSID_ThumbTabliq;

protected:
    // Initialize with the files, then AddPages; the pages come back.
    static Collected Pages(const std::vector<std::wstring>& files, HRESULT expected)
    {
        com_ptr<IUnknown> handler = NewObject();
        EXPECT_EQ(handler.try_query<IShellExtInit>()->Initialize(nullptr, Selection(files).get(),
                                                                 nullptr),
                  S_OK);
        Collected collected;
        EXPECT_EQ(handler.try_query<IShellPropSheetExt>()->AddPages(
                      &Collect, reinterpret_cast<LPARAM>(&collected)),
                  expected);
        return collected;
    }

    kadrix::test::TempDir dir_;
};

TEST_F(TabliqServerTest, ExportsByOrdinalAndServesItsClassOnly)
{
    kadrix::test::ExpectServerExportsByOrdinal(Server().get());

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Server().GetClassObject(CLSID_MyFirstGlimvex, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(Server().GetClassObject(CLSID_ThumbTabliq, IID_IClassFactory, nullptr), E_POINTER);

    com_ptr<IClassFactory> factory = Factory();
    com_ptr<IUnknown> outer = NewObject();
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
}

TEST_F(TabliqServerTest, HandlerAnswersTheTwoShellInterfacesAndNoOthers)
{
    com_ptr<IUnknown> object = NewObject();
    EXPECT_EQ(RefCount(object.get()), 1u);
    kadrix::test::ExpectInterfaces(
        object.get(), {IID_IShellExtInit, IID_IShellPropSheetExt},
        {IID_IPersistFile, IID_IDispatch, IID_IClassFactory, IID_IMarshal, IID_IContextMenu});
    // IUnknown is the first interface of the table, the extension initialiser.
    EXPECT_EQ(static_cast<void*>(object.get()),
              static_cast<void*>(object.try_query<IShellExtInit>().get()));

    EXPECT_EQ(RefCount(object.get()), 1u);
    EXPECT_EQ(object.detach()->Release(), 0u);
}

TEST_F(TabliqServerTest, InitializeRefusesWhatIsNoDropList)
{
    com_ptr<IUnknown> handler = NewObject();
    auto init = handler.try_query<IShellExtInit>();
    EXPECT_EQ(init->Initialize(nullptr, nullptr, nullptr), E_INVALIDARG);

    // A data object without CF_HDROP: a folder's own data object.
    com_ptr<IDataObject> other;
    ASSERT_EQ(::CreateDataCache(nullptr, CLSID_NULL, IID_IDataObject, other.put_void()), S_OK);
    EXPECT_EQ(init->Initialize(nullptr, other.get(), nullptr), E_INVALIDARG);

    // Neither recorded anything: there is nothing to add.
    Collected collected;
    EXPECT_EQ(handler.try_query<IShellPropSheetExt>()->AddPages(
                  &Collect, reinterpret_cast<LPARAM>(&collected)),
              S_FALSE);
    EXPECT_EQ(collected.calls, 0);
    EXPECT_EQ(handler.try_query<IShellPropSheetExt>()->ReplacePage(0, &Collect, 0), E_NOTIMPL);
}

TEST_F(TabliqServerTest, OneFileGetsOnePageAndSeveralGetNone)
{
    const std::wstring clip = dir_.file(L"a.avi");
    ASSERT_TRUE(kadrix::test::WriteFileBytes(clip, kadrix::test::SampleMainData()));

    Collected several = Pages({clip, dir_.file(L"b.avi")}, S_FALSE);
    EXPECT_EQ(several.calls, 0);
    Collected none = Pages({}, S_FALSE);
    EXPECT_EQ(none.calls, 0);

    Collected one = Pages({clip}, S_OK);
    ASSERT_EQ(one.calls, 1);
    ASSERT_NE(one.pages[0], nullptr);
    // A page the shell holds keeps the library loaded, even with the
    // handler gone; destroying it lets the library go.
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    EXPECT_TRUE(::DestroyPropertySheetPage(one.pages[0]));
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);
}

TEST_F(TabliqServerTest, ASecondAddPagesAddsNothing)
{
    const std::wstring clip = dir_.file(L"a.avi");
    ASSERT_TRUE(kadrix::test::WriteFileBytes(clip, kadrix::test::SampleMainData()));
    com_ptr<IUnknown> handler = NewObject();
    ASSERT_EQ(
        handler.try_query<IShellExtInit>()->Initialize(nullptr, Selection({clip}).get(), nullptr),
        S_OK);
    auto sheet = handler.try_query<IShellPropSheetExt>();
    Collected collected;
    EXPECT_EQ(sheet->AddPages(&Collect, reinterpret_cast<LPARAM>(&collected)), S_OK);
    EXPECT_EQ(sheet->AddPages(&Collect, reinterpret_cast<LPARAM>(&collected)), S_FALSE);
    ASSERT_EQ(collected.calls, 1);
    EXPECT_TRUE(::DestroyPropertySheetPage(collected.pages[0]));
}

TEST_F(TabliqServerTest, UnloadWaitsForObjectsFactoriesAndLocks)
{
    {
        com_ptr<IUnknown> object = NewObject();
        EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);
    com_ptr<IClassFactory> factory = Factory();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    Factory()->LockServer(FALSE);
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);
}

} // namespace
