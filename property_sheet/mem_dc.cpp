#include "property_sheet/mem_dc.h"

namespace kadrix {

CMemDC::CMemDC(HDC target, const RECT& rect)
    : target_(target), rect_(rect), offScreen_(::GetDeviceCaps(target, TECHNOLOGY) != DT_RASPRINTER)
{
    if (!offScreen_)
        return;
    memory_.reset(::CreateCompatibleDC(target));
    RECT device = rect_;
    ::LPtoDP(target, reinterpret_cast<POINT*>(&device), 2);
    bitmap_.reset(
        ::CreateCompatibleBitmap(target, device.right - device.left, device.bottom - device.top));
    if (!memory_ || !bitmap_) {
        // Without the copy, drawing goes straight to the target.
        offScreen_ = false;
        memory_.reset();
        return;
    }
    oldBitmap_ = ::SelectObject(memory_.get(), bitmap_.get());

    ::SetMapMode(memory_.get(), ::GetMapMode(target));
    SIZE extent{};
    ::GetWindowExtEx(target, &extent);
    ::SetWindowExtEx(memory_.get(), extent.cx, extent.cy, nullptr);
    ::GetViewportExtEx(target, &extent);
    ::SetViewportExtEx(memory_.get(), extent.cx, extent.cy, nullptr);
    ::DPtoLP(target, reinterpret_cast<POINT*>(&device), 2);
    rect_ = device;
    ::SetWindowOrgEx(memory_.get(), rect_.left, rect_.top, nullptr);

    ::BitBlt(memory_.get(), rect_.left, rect_.top, rect_.right - rect_.left,
             rect_.bottom - rect_.top, target_, rect_.left, rect_.top, SRCCOPY);
}

CMemDC::~CMemDC()
{
    if (!offScreen_)
        return;
    ::BitBlt(target_, rect_.left, rect_.top, rect_.right - rect_.left, rect_.bottom - rect_.top,
             memory_.get(), rect_.left, rect_.top, SRCCOPY);
    ::SelectObject(memory_.get(), oldBitmap_);
}

} // namespace kadrix
