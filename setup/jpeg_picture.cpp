#include "setup/jpeg_picture.h"

#include "winui/core/error.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <string>

#include <jpeglib.h>

namespace kadrix::setup {
namespace {

// libjpeg's default error handler ends the process; this one jumps back.
struct ErrorManager
{
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

void OnError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr, int) {} // warnings: the picture still decodes

// Runs the decoder. Kept free of objects with destructors, which a longjmp
// would skip: every resource here is released by the caller's cleanup.
bool Decode(jpeg_decompress_struct* info, const unsigned char* data, unsigned long size,
            HBITMAP volatile* bitmap)
{
    BITMAPINFO header{};
    void* bits = nullptr;
    jpeg_mem_src(info, data, size);
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK)
        return false;
    info->out_color_space = JCS_EXT_BGR; // the byte order of a 24-bit DIB
    jpeg_start_decompress(info);

    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = static_cast<LONG>(info->output_width);
    header.bmiHeader.biHeight = -static_cast<LONG>(info->output_height); // top row first
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 24;
    header.bmiHeader.biCompression = BI_RGB;
    *bitmap = ::CreateDIBSection(nullptr, &header, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!*bitmap)
        return false;

    const std::size_t stride =
        (static_cast<std::size_t>(info->output_width) * 3 + 3) & ~std::size_t{3};
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = static_cast<unsigned char*>(bits) + stride * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    return true;
}

} // namespace

unique_hbitmap DecodeJpeg(const void* data, std::size_t size)
{
    if (!data || size == 0)
        return {};
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = &OnError;
    errors.base.emit_message = &OnMessage;

    // Volatile: they change between setjmp and a possible longjmp.
    HBITMAP volatile bitmap = nullptr;
    volatile bool decoded = false;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        decoded = Decode(&info, static_cast<const unsigned char*>(data),
                         static_cast<unsigned long>(size), &bitmap);
    }
    jpeg_destroy_decompress(&info);
    unique_hbitmap result(bitmap);
    if (!decoded)
        result.reset();
    return result;
}

unique_hbitmap LoadJpegResource(HMODULE module, const std::wstring& name)
{
    HRSRC found = ::FindResourceW(module, name.c_str(), RT_RCDATA);
    HGLOBAL loaded = found ? ::LoadResource(module, found) : nullptr;
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    if (!data)
        throw winui::Error(L"Resource " + name + L" not found");
    unique_hbitmap bitmap = DecodeJpeg(data, ::SizeofResource(module, found));
    if (!bitmap)
        throw winui::Error(L"Picture " + name + L" is not a valid JPEG image");
    return bitmap;
}

unique_hbitmap LoadSamplePicture(HMODULE module, int index)
{
    return LoadJpegResource(module, L"#" + std::to_wstring(index));
}

} // namespace kadrix::setup
