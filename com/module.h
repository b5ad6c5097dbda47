// The server side of an in-process COM library: the module's lock count, its
// table of creatable classes with one generic class factory each, and
// self-registration from embedded registry scripts and a type library.
//
// Each DLL links its own copy of this kit, so Module::Instance() is that DLL's
// module.
#pragma once

#include "base/com_object.h"
#include "com/core/registry_script.h"

#include <windows.h>
#include <unknwn.h>

#include <atomic>
#include <cstddef>
#include <string>

namespace kadrix::com {

// Creates an object and queries it for riid; the object holds a module lock
// while it lives.
using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);

// One creatable class of the library. The library's table of them is static
// and lives as long as the module.
struct ClassEntry
{
    const CLSID* clsid;
    CreateInstanceFn create;
    UINT registryScript; // REGISTRY resource of the class's keys
    // The class factory, made on the first request and cached until the
    // library detaches. Read by any thread: atomic.
    std::atomic<IClassFactory*> factory{nullptr};
};

// The entry points behind a library's four exports. None lets an exception
// out: an allocation failure is E_OUTOFMEMORY, anything else E_UNEXPECTED.
class Module
{
public:
    static Module& Instance();

    // Called from DllMain on process attach with the library's class table.
    // False when the module can't work (the library then refuses to load).
    bool Attach(HINSTANCE instance, ClassEntry* classes, std::size_t count);
    // Called on process detach: releases the cached class factories.
    void Detach();

    HINSTANCE Handle() const noexcept { return instance_; }
    std::wstring Path() const;

    void Lock() noexcept;
    void Unlock() noexcept;
    LONG LockCount() const noexcept { return locks_.load(); }

    // DllCanUnloadNow: S_OK when no object or server lock is alive.
    HRESULT CanUnloadNow() const noexcept;
    // DllGetClassObject: unknown classes fail before anything is allocated.
    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** ppv) noexcept;

    // DllRegisterServer: the AppID script, each class's script and the type
    // library, under the system default thread locale; the first failure
    // ends the call.
    HRESULT RegisterServer(UINT appIdScript, const wchar_t* appId) noexcept;
    // DllUnregisterServer: every class's script, the type library and the
    // AppID script, each run even when one before failed. What is already
    // gone counts as removed; the first real failure is returned.
    HRESULT UnregisterServer(UINT appIdScript, const wchar_t* appId) noexcept;

private:
    Module() = default;
    ScriptReplacements Replacements(const wchar_t* appId) const;

    HINSTANCE instance_ = nullptr;
    ClassEntry* classes_ = nullptr;
    std::size_t count_ = 0;
    std::atomic<LONG> locks_{0};
    // Serialises the creation of class factories.
    CRITICAL_SECTION section_{};
    bool sectionReady_ = false;
};

// Holds one module lock for as long as the object that owns it lives.
class ModuleLock
{
public:
    ModuleLock() noexcept { Module::Instance().Lock(); }
    ~ModuleLock() { Module::Instance().Unlock(); }
    ModuleLock(const ModuleLock&) = delete;
    ModuleLock& operator=(const ModuleLock&) = delete;
};

// A COM object of this library: while it lives it holds one module lock, so
// DllCanUnloadNow keeps the library loaded under it. The lock is the last
// member to go, after the derived class's own cleanup has run.
template <typename... Interfaces> class ServerObject : public ComObject<Interfaces...>
{
protected:
    ServerObject() = default;
    ~ServerObject() override = default;

private:
    ModuleLock moduleLock_;
};

// The usual creator: construct with nothrow new, query, release the
// construction reference (a failed query frees the object on the same path).
template <typename T> HRESULT CreateInstance(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    T* object = new (std::nothrow) T();
    if (!object)
        return E_OUTOFMEMORY;
    const HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

} // namespace kadrix::com
