// Glimvex's module: the entry point, the four exports and the one class.
// The module's entry points keep every exception inside the library.
#include "product/identifiers.h"
#include "base/worker_thread.h"
#include "com/module.h"
#include "thumbnail_handler/my_first_glimvex.h"
#include "thumbnail_handler/resource.h"

namespace kadrix {
namespace {

constexpr const wchar_t* kAppId = ids::kGlimvexAppId;

com::ClassEntry g_classes[] = {
    {&CLSID_MyFirstGlimvex, &com::CreateInstance<CMyFirstGlimvex>, IDR_MYFIRSTGLIMVEX},
};

} // namespace
} // namespace kadrix

// Records the module and nothing else: no I/O, GDI+ or COM under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ::DisableThreadLibraryCalls(instance);
        return kadrix::com::Module::Instance().Attach(instance, kadrix::g_classes,
                                                      std::size(kadrix::g_classes));
    }
    if (reason == DLL_PROCESS_DETACH)
        kadrix::com::Module::Instance().Detach();
    return TRUE;
}

STDAPI DllCanUnloadNow()
{
    // A worker thread (a capture job that outlived its deadline) still runs
    // our code.
    if (kadrix::LiveWorkerThreads() > 0)
        return S_FALSE;
    return kadrix::com::Module::Instance().CanUnloadNow();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    return kadrix::com::Module::Instance().GetClassObject(clsid, riid, ppv);
}

STDAPI DllRegisterServer()
{
    return kadrix::com::Module::Instance().RegisterServer(IDR_GLIMVEX, kadrix::kAppId);
}

STDAPI DllUnregisterServer()
{
    return kadrix::com::Module::Instance().UnregisterServer(IDR_GLIMVEX, kadrix::kAppId);
}
