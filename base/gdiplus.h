// GDI+ for one operation: started when constructed, shut down when destroyed,
// and owners for the flat API's objects. The libraries never keep GDI+
// running between calls; each composition and each JPEG write has its own.
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>

namespace kadrix {

class GdiplusSession
{
public:
    GdiplusSession() noexcept
    {
        Gdiplus::GdiplusStartupInput input; // version 1, no callback, background thread
        ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
    }
    GdiplusSession(const GdiplusSession&) = delete;
    GdiplusSession& operator=(const GdiplusSession&) = delete;
    ~GdiplusSession()
    {
        if (ok_)
            Gdiplus::GdiplusShutdown(token_);
    }
    explicit operator bool() const noexcept { return ok_; }

private:
    ULONG_PTR token_ = 0;
    bool ok_ = false;
};

namespace gdiplus_detail {
struct ImageDeleter
{
    void operator()(Gdiplus::GpImage* image) const noexcept
    {
        Gdiplus::DllExports::GdipDisposeImage(image);
    }
};
struct GraphicsDeleter
{
    void operator()(Gdiplus::GpGraphics* graphics) const noexcept
    {
        Gdiplus::DllExports::GdipDeleteGraphics(graphics);
    }
};
struct BrushDeleter
{
    void operator()(Gdiplus::GpBrush* brush) const noexcept
    {
        Gdiplus::DllExports::GdipDeleteBrush(brush);
    }
};
} // namespace gdiplus_detail

// Objects of the flat API; they must die before the session that made them.
using unique_gp_bitmap = std::unique_ptr<Gdiplus::GpBitmap, gdiplus_detail::ImageDeleter>;
using unique_gp_graphics = std::unique_ptr<Gdiplus::GpGraphics, gdiplus_detail::GraphicsDeleter>;
using unique_gp_brush = std::unique_ptr<Gdiplus::GpBrush, gdiplus_detail::BrushDeleter>;

} // namespace kadrix
