#include "com/module.h"

#include "com/registry_script_runner.h"
#include "com/type_library.h"

#include <new>

namespace kadrix::com {
namespace {

// The class factory of one class. The module caches one reference; every
// further reference, like every LockServer(TRUE), keeps the module loaded.
class ClassFactory final : public IClassFactory
{
public:
    explicit ClassFactory(CreateInstanceFn create) : create_(create) {}
    ClassFactory(const ClassFactory&) = delete;
    ClassFactory& operator=(const ClassFactory&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override
    {
        const LONG refs = ::InterlockedIncrement(&refs_);
        if (refs == 2)
            Module::Instance().Lock();
        return static_cast<ULONG>(refs);
    }
    STDMETHODIMP_(ULONG) Release() override
    {
        const LONG refs = ::InterlockedDecrement(&refs_);
        if (refs == 1)
            Module::Instance().Unlock();
        if (refs == 0)
            delete this;
        return static_cast<ULONG>(refs);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return create_(riid, ppv);
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
    ~ClassFactory() = default;

    volatile LONG refs_ = 1; // the module's cached reference
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

bool Module::Attach(HINSTANCE instance, const ClassEntry* classes, std::size_t count)
{
    instance_ = instance;
    classes_ = classes;
    count_ = count < std::size(factories_) ? count : std::size(factories_);
    sectionReady_ = ::InitializeCriticalSectionAndSpinCount(&section_, 0) != FALSE;
    return sectionReady_ && count_ == count;
}

void Module::Detach()
{
    for (std::size_t i = 0; i < count_; ++i) {
        if (factories_[i]) {
            factories_[i]->Release();
            factories_[i] = nullptr;
        }
    }
    if (sectionReady_) {
        ::DeleteCriticalSection(&section_);
        sectionReady_ = false;
    }
}

std::wstring Module::Path() const
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            ::GetModuleFileNameW(instance_, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

void Module::Lock() noexcept
{
    ::InterlockedIncrement(&locks_);
}

void Module::Unlock() noexcept
{
    ::InterlockedDecrement(&locks_);
}

HRESULT Module::CanUnloadNow() const noexcept
{
    return locks_ == 0 ? S_OK : S_FALSE;
}

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    for (std::size_t i = 0; i < count_; ++i) {
        if (*classes_[i].clsid != clsid)
            continue;
        if (!factories_[i]) {
            ::EnterCriticalSection(&section_);
            if (!factories_[i])
                factories_[i] = new (std::nothrow) ClassFactory(classes_[i].create);
            ::LeaveCriticalSection(&section_);
            if (!factories_[i])
                return E_OUTOFMEMORY;
        }
        const HRESULT hr = factories_[i]->QueryInterface(riid, ppv);
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

HRESULT Module::RegisterServer(UINT appIdScript, const wchar_t* appId)
{
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
}

HRESULT Module::UnregisterServer(UINT appIdScript, const wchar_t* appId)
{
    SystemThreadLocale locale;
    const ScriptReplacements replacements = Replacements(appId);
    HRESULT hr = S_OK;
    for (std::size_t i = 0; i < count_; ++i) {
        hr = RunRegistryScriptResource(instance_, classes_[i].registryScript, replacements,
                                       ScriptMode::Unregister);
        if (FAILED(hr))
            return hr;
    }
    hr = UnregisterTypeLibrary(Path());
    if (FAILED(hr))
        return hr;
    return RunRegistryScriptResource(instance_, appIdScript, replacements, ScriptMode::Unregister);
}

} // namespace kadrix::com
