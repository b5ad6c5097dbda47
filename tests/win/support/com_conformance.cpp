#include "support/com_conformance.h"

#include "base/com_ptr.h"

#include <gtest/gtest.h>

namespace kadrix::test {

ULONG RefCount(IUnknown* object)
{
    object->AddRef();
    return object->Release();
}

void ExpectInterfaces(IUnknown* object, std::initializer_list<IID> answered,
                      std::initializer_list<IID> refused)
{
    const ULONG before = RefCount(object);
    for (const IID& iid : answered) {
        com_ptr<IUnknown> asked;
        ASSERT_EQ(object->QueryInterface(iid, asked.put_void()), S_OK);
        EXPECT_EQ(RefCount(object), before + 1);
        com_ptr<IUnknown> identity;
        ASSERT_EQ(asked->QueryInterface(IID_IUnknown, identity.put_void()), S_OK);
        EXPECT_EQ(identity.get(), object);
    }
    for (const IID& iid : refused) {
        void* out = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
    EXPECT_EQ(RefCount(object), before);
}

void ExpectServerExportsByOrdinal(HMODULE library)
{
    const char* names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                           "DllUnregisterServer"};
    for (WORD ordinal = 1; ordinal <= 4; ++ordinal) {
        FARPROC byOrdinal = ::GetProcAddress(library, MAKEINTRESOURCEA(ordinal));
        ASSERT_NE(byOrdinal, nullptr) << ordinal;
        EXPECT_EQ(byOrdinal, ::GetProcAddress(library, names[ordinal - 1])) << names[ordinal - 1];
    }
}

} // namespace kadrix::test
