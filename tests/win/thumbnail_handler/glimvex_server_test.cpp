// Glimvex as the shell meets it: loaded with LoadLibrary and driven through
// its exports, with no registry involved. Conformance in the Wine style:
// every answered and some refused interfaces, null out-parameters, exact
// reference counts, and the module's unload rule.
#include "product/identifiers.h"
#include "base/com_ptr.h"
#include "base/unique_handle.h"
#include "support/com_conformance.h"
#include "support/server_library_test.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objidl.h>
#include <shlobj.h>
#include <thumbcache.h>

#include <string>

using kadrix::com_ptr;
using kadrix::test::RefCount;

namespace {

class GlimvexServerTest : public kadrix::test::ServerLibraryTest<GlimvexServerTest>
{
public:
    static constexpr const wchar_t* kLibrary = L"Glimvex.dll";
    static constexpr kadrix::test::Apartment kApartment = kadrix::test::Apartment::Com;
    static constexpr const CLSID& kClass = CLSID_MyFirstGlimvex;
};

TEST_F(GlimvexServerTest, ExportsByOrdinal)
{
    kadrix::test::ExpectServerExportsByOrdinal(Server().get());
}

TEST_F(GlimvexServerTest, ClassObjectLookup)
{
    EXPECT_EQ(Server().GetClassObject(CLSID_MyFirstGlimvex, IID_IClassFactory, nullptr), E_POINTER);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Server().GetClassObject(CLSID_ThumbTabliq, IID_IClassFactory, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(Server().GetClassObject(CLSID_MyFirstGlimvex, IID_IPersist, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    com_ptr<IUnknown> a, b;
    ASSERT_EQ(Server().GetClassObject(CLSID_MyFirstGlimvex, IID_IUnknown, a.put_void()), S_OK);
    ASSERT_EQ(Server().GetClassObject(CLSID_MyFirstGlimvex, IID_IClassFactory, b.put_void()), S_OK);
    EXPECT_EQ(a.get(), b.get()); // one cached factory
}

TEST_F(GlimvexServerTest, FactoryRefusesAggregationAndNullOutput)
{
    com_ptr<IClassFactory> factory = Factory();
    com_ptr<IUnknown> outer = NewObject();
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(outer.get(), IID_IUnknown, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(GlimvexServerTest, ExtractorAnswersItsFourInterfacesAndNoOthers)
{
    com_ptr<IUnknown> object = NewObject();
    EXPECT_EQ(RefCount(object.get()), 1u);

    kadrix::test::ExpectInterfaces(object.get(),
                                   {IID_IPersistFile, __uuidof(IExtractImage),
                                    __uuidof(IThumbnailProvider), __uuidof(IInitializeWithFile)},
                                   {IID_IPersist, IID_IPersistStream, IID_IDispatch,
                                    IID_IClassFactory, __uuidof(IInitializeWithStream),
                                    IID_IMarshal});
    EXPECT_EQ(RefCount(object.get()), 1u);
    EXPECT_EQ(object.detach()->Release(), 0u);
}

TEST_F(GlimvexServerTest, UnimplementedAndNullArguments)
{
    com_ptr<IUnknown> object = NewObject();
    auto persist = object.try_query<IPersistFile>();
    auto extract = object.try_query<IExtractImage>();
    auto provider = object.try_query<IThumbnailProvider>();
    auto initialize = object.try_query<IInitializeWithFile>();
    ASSERT_TRUE(persist && extract && provider && initialize);

    CLSID clsid;
    LPOLESTR file = nullptr;
    EXPECT_EQ(persist->GetClassID(&clsid), E_NOTIMPL);
    EXPECT_EQ(persist->IsDirty(), E_NOTIMPL);
    EXPECT_EQ(persist->Save(L"x", TRUE), E_NOTIMPL);
    EXPECT_EQ(persist->SaveCompleted(L"x"), E_NOTIMPL);
    EXPECT_EQ(persist->GetCurFile(&file), E_NOTIMPL);

    EXPECT_EQ(persist->Load(nullptr, 0), E_POINTER);
    EXPECT_EQ(initialize->Initialize(nullptr, 0), E_POINTER);
    EXPECT_EQ(extract->Extract(nullptr), E_POINTER);
    WTS_ALPHATYPE alpha;
    HBITMAP bitmap;
    EXPECT_EQ(provider->GetThumbnail(96, nullptr, &alpha), E_POINTER);
    EXPECT_EQ(provider->GetThumbnail(96, &bitmap, nullptr), E_POINTER);
    DWORD priority = 0, flags = 0;
    wchar_t buffer[MAX_PATH];
    EXPECT_EQ(extract->GetLocation(buffer, MAX_PATH, &priority, nullptr, 32, &flags), E_POINTER);
}

TEST_F(GlimvexServerTest, UnloadWaitsForObjectsFactoriesAndLocks)
{
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);
    {
        com_ptr<IUnknown> object = NewObject();
        EXPECT_EQ(Server().CanUnloadNow(), S_FALSE);
    }
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);

    com_ptr<IClassFactory> factory = Factory();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE); // a factory in a client's hands
    ASSERT_EQ(factory->LockServer(TRUE), S_OK);
    factory.reset();
    EXPECT_EQ(Server().CanUnloadNow(), S_FALSE); // the server lock alone
    Factory()->LockServer(FALSE);
    EXPECT_EQ(Server().CanUnloadNow(), S_OK);
}

TEST_F(GlimvexServerTest, PathThatDoesNotFitIsRefusedAndNothingIsTouched)
{
    com_ptr<IUnknown> object = NewObject();
    auto persist = object.try_query<IPersistFile>();
    auto initialize = object.try_query<IInitializeWithFile>();
    auto provider = object.try_query<IThumbnailProvider>();

    const std::wstring longest = L"C:\\" + std::wstring(MAX_PATH - 4, L'a'); // 259 characters
    const std::wstring tooLong = longest + L"b";
    EXPECT_EQ(persist->Load(tooLong.c_str(), 0), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(initialize->Initialize(tooLong.c_str(), 0),
              HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    EXPECT_EQ(initialize->Initialize(longest.c_str(), 0), S_OK);

    // A refused path also drops the one before it: no request may run on it.
    EXPECT_EQ(persist->Load(tooLong.c_str(), 0), HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE));
    HBITMAP bitmap = reinterpret_cast<HBITMAP>(1);
    WTS_ALPHATYPE alpha;
    EXPECT_EQ(provider->GetThumbnail(96, &bitmap, &alpha), E_FAIL);
    EXPECT_EQ(bitmap, nullptr);
}

} // namespace
