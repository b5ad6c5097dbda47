// A test suite that loads one COM server library for all its tests, the way
// the shell's host does: from the file beside the test, with no registry,
// in a single-threaded apartment (an OLE one for a property sheet's host).
// Every test must leave the module free to unload.
#pragma once

#include "base/com_ptr.h"
#include "base/server_library.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <ole2.h>

namespace kadrix::test {

enum class Apartment
{
    Com,
    Ole,
};

// Suite names its library, its apartment and the class it tests:
//   static constexpr const wchar_t* kLibrary = L"Glimvex.dll";
//   static constexpr Apartment kApartment = Apartment::Com;
//   static constexpr const CLSID& kClass = CLSID_MyFirstGlimvex;
template <typename Suite> class ServerLibraryTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (Suite::kApartment == Apartment::Ole)
            ::OleInitialize(nullptr);
        else
            ::CoInitialize(nullptr);
        server_ = new ServerLibrary(Suite::kLibrary);
    }
    static void TearDownTestSuite()
    {
        delete server_;
        server_ = nullptr;
        if (Suite::kApartment == Apartment::Ole)
            ::OleUninitialize();
        else
            ::CoUninitialize();
    }

    void SetUp() override { ASSERT_TRUE(*server_) << "the library does not load"; }
    void TearDown() override
    {
        if (*server_) {
            EXPECT_EQ(server_->CanUnloadNow(), S_OK) << "a test left the module locked";
        }
    }

    static const ServerLibrary& Server() { return *server_; }

    // The class's factory, and a new object of the class as its IUnknown.
    static com_ptr<IClassFactory> Factory()
    {
        com_ptr<IClassFactory> factory;
        EXPECT_EQ(server_->GetClassObject(Suite::kClass, IID_IClassFactory, factory.put_void()),
                  S_OK);
        return factory;
    }
    static com_ptr<IUnknown> NewObject()
    {
        com_ptr<IUnknown> object;
        EXPECT_EQ(server_->CreateInstance(Suite::kClass, IID_IUnknown, object.put_void()), S_OK);
        return object;
    }

private:
    static inline ServerLibrary* server_ = nullptr;
};

} // namespace kadrix::test
