#include "base/server_library.h"

#include "base/com_ptr.h"
#include "base/proc_address.h"

namespace kadrix {

HRESULT ServerLibrary::GetClassObject(REFCLSID clsid, REFIID riid, void** object) const
{
    using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto entry = GetProcAddressAs<GetClassObjectFn>(module_.get(), "DllGetClassObject");
    return entry ? entry(clsid, riid, object) : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

HRESULT ServerLibrary::CreateInstance(REFCLSID clsid, REFIID riid, void** object) const
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    com_ptr<IClassFactory> factory;
    const HRESULT hr = GetClassObject(clsid, IID_IClassFactory, factory.put_void());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(nullptr, riid, object);
}

HRESULT ServerLibrary::CanUnloadNow() const
{
    using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();
    const auto entry = GetProcAddressAs<CanUnloadNowFn>(module_.get(), "DllCanUnloadNow");
    return entry ? entry() : HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

} // namespace kadrix
