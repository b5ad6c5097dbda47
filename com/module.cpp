#include "com/module.h"

#include "base/exception_boundary.h"
#include "base/module_path.h"
#include "com/registry_script_runner.h"
#include "com/type_library.h"

#include <atomic>
#include <new>

namespace kadrix::com {
namespace {

// The class factory of one class. The module caches one reference, which
// must not keep the module loaded (it goes only when the library detaches);
// every further reference, like every LockServer(TRUE), does. So its lock
// follows the references past the module's own, not the object's life.
class ClassFactory final : public ComObject<IClassFactory>
{
public:
    explicit ClassFactory(CreateInstanceFn create) : create_(create) {}

    STDMETHODIMP_(ULONG) AddRef() override
    {
        const ULONG refs = ComObject::AddRef();
        if (refs == 2)
            Module::Instance().Lock();
        return refs;
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = ComObject::Release();
        if (refs == 1)
            Module::Instance().Unlock();
        return refs;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return GuardHResult([&] { return create_(riid, ppv); });
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        if (lock)
            Module::Instance().Lock();
        else
            Module::Instance().Unlock();
        return S_OK;
    }

private:
    ~ClassFactory() override = default;

    CreateInstanceFn create_;
};

// Registration formats numbers and names the same whatever the caller's locale.
class SystemThreadLocale
{
public:
    SystemThreadLocale() : previous_(::GetThreadLocale())
    {
        ::SetThreadLocale(LOCALE_SYSTEM_DEFAULT);
    }
    ~SystemThreadLocale() { ::SetThreadLocale(previous_); }
    SystemThreadLocale(const SystemThreadLocale&) = delete;
    SystemThreadLocale& operator=(const SystemThreadLocale&) = delete;

private:
    LCID previous_;
};

} // namespace

Module& Module::Instance()
{
    static Module module;
    return module;
}

bool Module::Attach(HINSTANCE instance, ClassEntry* classes, std::size_t count)
{
    instance_ = instance;
    classes_ = classes;
    count_ = count;
    sectionReady_ = ::InitializeCriticalSectionAndSpinCount(&section_, 0) != FALSE;
    return sectionReady_;
}

void Module::Detach()
{
    for (std::size_t i = 0; i < count_; ++i)
        if (IClassFactory* factory = classes_[i].factory.exchange(nullptr))
            factory->Release();
    if (sectionReady_) {
        ::DeleteCriticalSection(&section_);
        sectionReady_ = false;
    }
}

std::wstring Module::Path() const
{
    return ModulePath(instance_);
}

void Module::Lock() noexcept
{
    ++locks_;
}

void Module::Unlock() noexcept
{
    --locks_;
}

HRESULT Module::CanUnloadNow() const noexcept
{
    return locks_.load() == 0 ? S_OK : S_FALSE;
}

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (std::size_t i = 0; i < count_; ++i) {
        ClassEntry& entry = classes_[i];
        if (*entry.clsid != clsid)
            continue;
        IClassFactory* factory = entry.factory.load(std::memory_order_acquire);
        if (!factory) {
            // Two threads may ask at once: one makes the factory, both use it.
            ::EnterCriticalSection(&section_);
            factory = entry.factory.load(std::memory_order_relaxed);
            if (!factory) {
                factory = new (std::nothrow) ClassFactory(entry.create);
                entry.factory.store(factory, std::memory_order_release);
            }
            ::LeaveCriticalSection(&section_);
            if (!factory)
                return E_OUTOFMEMORY;
        }
        const HRESULT hr = factory->QueryInterface(riid, ppv);
        if (SUCCEEDED(hr) && !*ppv)
            return CLASS_E_CLASSNOTAVAILABLE;
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

ScriptReplacements Module::Replacements(const wchar_t* appId) const
{
    return {{L"MODULE", Path()}, {L"APPID", appId}};
}

HRESULT Module::RegisterServer(UINT appIdScript, const wchar_t* appId) noexcept
{
    return GuardHResult([&] {
        SystemThreadLocale locale;
        const ScriptReplacements replacements = Replacements(appId);
        HRESULT hr =
            RunRegistryScriptResource(instance_, appIdScript, replacements, ScriptMode::Register);
        if (FAILED(hr))
            return hr;
        for (std::size_t i = 0; i < count_; ++i) {
            hr = RunRegistryScriptResource(instance_, classes_[i].registryScript, replacements,
                                           ScriptMode::Register);
            if (FAILED(hr))
                return hr;
        }
        return RegisterTypeLibrary(Path());
    });
}

HRESULT Module::UnregisterServer(UINT appIdScript, const wchar_t* appId) noexcept
{
    return GuardHResult([&] {
        SystemThreadLocale locale;
        const ScriptReplacements replacements = Replacements(appId);
        // An installer's uninstaller, or a second regsvr32 /u, finds parts
        // already gone; every part is still tried, so none is left behind.
        HRESULT first = S_OK;
        auto keep = [&first](HRESULT hr) {
            if (FAILED(hr) && SUCCEEDED(first))
                first = hr;
        };
        for (std::size_t i = 0; i < count_; ++i)
            keep(RunRegistryScriptResource(instance_, classes_[i].registryScript, replacements,
                                           ScriptMode::Unregister));
        keep(UnregisterTypeLibrary(Path()));
        keep(RunRegistryScriptResource(instance_, appIdScript, replacements,
                                       ScriptMode::Unregister));
        return first;
    });
}

} // namespace kadrix::com
