// A small COM smart pointer: explicit adopt versus share, put() that releases
// what it held, and a move that leaves the source empty.
#pragma once

#include <unknwn.h>

#include <cstddef>
#include <utility>

namespace kadrix {

template <typename T> class com_ptr
{
public:
    com_ptr() noexcept = default;
    com_ptr(std::nullptr_t) noexcept {}
    com_ptr(const com_ptr& other) noexcept : ptr_(other.ptr_) { add_ref(); }
    com_ptr(com_ptr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    com_ptr& operator=(com_ptr other) noexcept
    {
        std::swap(ptr_, other.ptr_);
        return *this;
    }
    ~com_ptr() { reset(); }

    // Takes over a reference the caller already owns.
    static com_ptr adopt(T* raw) noexcept
    {
        com_ptr result;
        result.ptr_ = raw;
        return result;
    }
    // Adds a reference of its own.
    static com_ptr share(T* raw) noexcept
    {
        com_ptr result;
        result.ptr_ = raw;
        result.add_ref();
        return result;
    }

    T* get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    void reset() noexcept
    {
        if (T* old = std::exchange(ptr_, nullptr))
            old->Release();
    }
    T* detach() noexcept { return std::exchange(ptr_, nullptr); }

    T** put() noexcept
    {
        reset();
        return &ptr_;
    }
    void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

    // Null when the object does not answer the interface.
    template <typename U> com_ptr<U> try_query() const noexcept
    {
        com_ptr<U> result;
        if (ptr_)
            ptr_->QueryInterface(__uuidof(U), result.put_void());
        return result;
    }

    HRESULT query_to(REFIID iid, void** out) const noexcept
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        return ptr_ ? ptr_->QueryInterface(iid, out) : E_NOINTERFACE;
    }

private:
    void add_ref() noexcept
    {
        if (ptr_)
            ptr_->AddRef();
    }

    T* ptr_ = nullptr;
};

// The interface named by its IID, or null. For interfaces the platform's
// headers do not tie to their IID for __uuidof (mingw-w64 leaves out some of
// DirectShow's and Media Foundation's).
template <typename T, typename U> com_ptr<T> QueryAs(const com_ptr<U>& from, REFIID iid)
{
    com_ptr<T> result;
    (void)from.query_to(iid, result.put_void());
    return result;
}

} // namespace kadrix
