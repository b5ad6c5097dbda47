// One way to write a COM object: QueryInterface over the list of interfaces
// it implements, and an exact, atomic reference count.
//
//   class Thing final : public kadrix::ComObject<IFirst, ISecond> { ... };
//
// IUnknown is answered with the first interface, so every QueryInterface for
// IUnknown returns the same pointer: COM's identity rule, which callers rely
// on to compare objects. The interfaces must not derive from one another.
#pragma once

#include <unknwn.h>

#include <atomic>

namespace kadrix {

// QueryInterface alone, for an object whose lifetime its owner manages and
// which writes its own AddRef and Release.
template <typename First, typename... Rest> class ComInterfaces : public First, public Rest...
{
public:
    // E_POINTER for a null ppv; for an interface not in the list *ppv is
    // nulled and the answer is E_NOINTERFACE; otherwise one reference more.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == __uuidof(IUnknown))
            *ppv = static_cast<First*>(this);
        else if (!(Answer<First>(riid, ppv) || ... || Answer<Rest>(riid, ppv)))
            return E_NOINTERFACE;
        static_cast<First*>(this)->AddRef();
        return S_OK;
    }

protected:
    ComInterfaces() = default;
    ~ComInterfaces() = default;
    ComInterfaces(const ComInterfaces&) = delete;
    ComInterfaces& operator=(const ComInterfaces&) = delete;

private:
    template <typename Interface> bool Answer(REFIID riid, void** ppv)
    {
        if (riid != __uuidof(Interface))
            return false;
        *ppv = static_cast<Interface*>(this);
        return true;
    }
};

// A heap object that deletes itself on its last Release. It starts with one
// reference, its creator's.
template <typename... Interfaces> class ComObject : public ComInterfaces<Interfaces...>
{
public:
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
    STDMETHODIMP_(ULONG) Release() override
    {
        const ULONG refs = --refs_;
        if (refs == 0)
            delete this;
        return refs;
    }

protected:
    ComObject() = default;
    // Virtual, so the derived class may keep its own destructor private.
    virtual ~ComObject() = default;

private:
    // Any thread may hold and drop references (a free-threaded caller, or a
    // stream handed across threads).
    std::atomic<ULONG> refs_{1};
};

} // namespace kadrix
