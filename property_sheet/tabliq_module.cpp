// Tabliq's module: the library entry (the window framework's application
// object and the COM kit's module), the four exports and the one class.
// The module's entry points keep every exception inside the library.
#include "base/worker_thread.h"
#include "com/module.h"
#include "product/identifiers.h"
#include "property_sheet/resource.h"
#include "property_sheet/tabliq_app.h"
#include "property_sheet/thumb_tabliq.h"

namespace kadrix {
namespace {

com::ClassEntry g_classes[] = {
    {&CLSID_ThumbTabliq, &com::CreateInstance<CThumbTabliq>, IDR_THUMBTABLIQ},
};

// The COM kit's module with Tabliq's identifiers and its one class.
class CTabliqModule
{
public:
    static bool Attach(HINSTANCE instance)
    {
        return Server().Attach(instance, g_classes, std::size(g_classes));
    }
    static void Detach() { Server().Detach(); }

    // Only when no page of the window framework lives, no capture job or
    // preview runs our code and no object or server lock is held.
    static HRESULT CanUnloadNow()
    {
        if (!theApp.CanUnloadNow() || LiveWorkerThreads() > 0)
            return S_FALSE;
        return Server().CanUnloadNow();
    }

    static com::Module& Server() { return com::Module::Instance(); }
};

} // namespace
} // namespace kadrix

// Records the module and starts the framework's application object, nothing
// else: no I/O, GDI+ or COM under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        if (!kadrix::theApp.Start(instance))
            return FALSE;
        return kadrix::CTabliqModule::Attach(instance);
    }
    if (reason == DLL_PROCESS_DETACH) {
        kadrix::CTabliqModule::Detach();
        kadrix::theApp.Stop();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    return kadrix::CTabliqModule::CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return kadrix::CTabliqModule::Server().GetClassObject(clsid, riid, ppv);
}

STDAPI DllRegisterServer()
{
    return kadrix::CTabliqModule::Server().RegisterServer(IDR_TABLIQ, kadrix::ids::kTabliqAppId);
}

STDAPI DllUnregisterServer()
{
    return kadrix::CTabliqModule::Server().UnregisterServer(IDR_TABLIQ, kadrix::ids::kTabliqAppId);
}
