// RAII ownership of Win32 handles: one template, a traits type per kind.
#pragma once

#include <windows.h>

#include <utility>

namespace kadrix {

// Traits: `type`, `invalid()` and `close(type)`.
template <typename Traits> class unique_any
{
public:
    using pointer = typename Traits::type;

    unique_any() noexcept = default;
    explicit unique_any(pointer value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Traits::invalid(); }

    pointer release() noexcept { return std::exchange(value_, Traits::invalid()); }

    void reset(pointer value = Traits::invalid()) noexcept
    {
        pointer old = std::exchange(value_, value);
        if (old != Traits::invalid())
            Traits::close(old);
    }

    // Closes what is held, then hands out the slot for an API to fill.
    pointer* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    pointer value_ = Traits::invalid();
};

namespace handle_traits {

template <typename T, auto Close> struct null_invalid
{
    using type = T;
    static constexpr T invalid() noexcept { return nullptr; }
    static void close(T value) noexcept { Close(value); }
};

struct file
{
    using type = HANDLE;
    static HANDLE invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void close(HANDLE value) noexcept { ::CloseHandle(value); }
};

inline void delete_gdi_object(HGDIOBJ object) noexcept
{
    ::DeleteObject(object);
}
inline void delete_dc(HDC dc) noexcept
{
    ::DeleteDC(dc);
}
inline void close_handle(HANDLE handle) noexcept
{
    ::CloseHandle(handle);
}
inline void close_key(HKEY key) noexcept
{
    ::RegCloseKey(key);
}
inline void free_library(HMODULE module) noexcept
{
    ::FreeLibrary(module);
}

} // namespace handle_traits

using unique_file = unique_any<handle_traits::file>;
using unique_handle = unique_any<handle_traits::null_invalid<HANDLE, handle_traits::close_handle>>;
using unique_hbitmap =
    unique_any<handle_traits::null_invalid<HBITMAP, handle_traits::delete_gdi_object>>;
using unique_hbrush =
    unique_any<handle_traits::null_invalid<HBRUSH, handle_traits::delete_gdi_object>>;
using unique_hdc = unique_any<handle_traits::null_invalid<HDC, handle_traits::delete_dc>>;
using unique_hkey = unique_any<handle_traits::null_invalid<HKEY, handle_traits::close_key>>;
using unique_hmodule =
    unique_any<handle_traits::null_invalid<HMODULE, handle_traits::free_library>>;

// A DC obtained with GetDC remembers its window, which ReleaseDC needs.
class window_dc
{
public:
    explicit window_dc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    window_dc(const window_dc&) = delete;
    window_dc& operator=(const window_dc&) = delete;
    ~window_dc()
    {
        if (dc_)
            ::ReleaseDC(window_, dc_);
    }
    HDC get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a DC and puts the previous one back on scope exit.
class select_object
{
public:
    select_object(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
    select_object(const select_object&) = delete;
    select_object& operator=(const select_object&) = delete;
    ~select_object()
    {
        if (old_ && old_ != HGDI_ERROR)
            ::SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

} // namespace kadrix
