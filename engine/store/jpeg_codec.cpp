#include "engine/store/jpeg_codec.h"

#include "engine/core/frame_limits.h"

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

namespace kadrix {
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

void UseErrorManager(jpeg_common_struct* info, ErrorManager* errors)
{
    info->err = jpeg_std_error(&errors->base);
    errors->base.error_exit = &OnError;
    errors->base.emit_message = &OnMessage;
}

// The largest DCT scale (8, 4, 2 or 1) whose picture is still at least the
// wanted size; 1 when no size is wanted.
unsigned ScaleFor(unsigned width, unsigned height, int wantedWidth, int wantedHeight)
{
    if (wantedWidth <= 0 || wantedHeight <= 0)
        return 1;
    for (unsigned scale : {8u, 4u, 2u}) {
        const unsigned w = (width + scale - 1) / scale;
        const unsigned h = (height + scale - 1) / scale;
        if (w >= static_cast<unsigned>(wantedWidth) && h >= static_cast<unsigned>(wantedHeight))
            return scale;
    }
    return 1;
}

// The decoder's run. Free of objects with destructors, which a longjmp out
// of libjpeg would skip; the picture it fills lives with the caller.
bool Decode(jpeg_decompress_struct* info, const unsigned char* data, unsigned long size,
            int wantedWidth, int wantedHeight, DecodedJpeg* picture)
{
    jpeg_mem_src(info, data, size);
    if (jpeg_read_header(info, TRUE) != JPEG_HEADER_OK)
        return false;
    if (!FrameFits(info->image_width, info->image_height))
        return false;
    picture->fullWidth = static_cast<int>(info->image_width);
    picture->fullHeight = static_cast<int>(info->image_height);
    info->scale_num = 1;
    info->scale_denom = ScaleFor(info->image_width, info->image_height, wantedWidth, wantedHeight);
    info->out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(info);
    picture->width = static_cast<int>(info->output_width);
    picture->height = static_cast<int>(info->output_height);
    const std::size_t stride = static_cast<std::size_t>(info->output_width) * 4;
    picture->pixels.resize(stride * info->output_height);
    while (info->output_scanline < info->output_height) {
        JSAMPROW row = picture->pixels.data() + stride * info->output_scanline;
        jpeg_read_scanlines(info, &row, 1);
    }
    jpeg_finish_decompress(info);
    // libjpeg leaves the fourth byte as it found it: opaque.
    for (std::size_t i = 3; i < picture->pixels.size(); i += 4)
        picture->pixels[i] = 0xFF;
    return true;
}

// The encoder's destination: a buffer grown with realloc (no exception may
// pass through libjpeg), on the heap, so a longjmp leaves it where the
// cleanup finds it.
struct GrowingDestination
{
    jpeg_destination_mgr base;
    unsigned char* buffer;
    std::size_t capacity;
};

GrowingDestination* DestinationOf(j_compress_ptr info)
{
    return reinterpret_cast<GrowingDestination*>(info->dest);
}

void StartDestination(j_compress_ptr info)
{
    GrowingDestination* dest = DestinationOf(info);
    dest->base.next_output_byte = dest->buffer;
    dest->base.free_in_buffer = dest->capacity;
}

boolean GrowDestination(j_compress_ptr info)
{
    GrowingDestination* dest = DestinationOf(info);
    const std::size_t used = dest->capacity;
    auto* grown = static_cast<unsigned char*>(std::realloc(dest->buffer, used * 2));
    if (!grown)
        ERREXIT(info, JERR_OUT_OF_MEMORY);
    dest->buffer = grown;
    dest->capacity = used * 2;
    dest->base.next_output_byte = grown + used;
    dest->base.free_in_buffer = used;
    return TRUE;
}

void EndDestination(j_compress_ptr) {}

// The encoder's run, as free of destructors as the decoder's.
bool Encode(jpeg_compress_struct* info, const PixelRows& rows)
{
    info->image_width = static_cast<JDIMENSION>(rows.width);
    info->image_height = static_cast<JDIMENSION>(rows.height);
    info->input_components = 4;
    info->in_color_space = JCS_EXT_BGRX;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, 75, TRUE);
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        // libjpeg reads the row and never writes it.
        JSAMPROW row = const_cast<JSAMPROW>(rows.top + rows.stride * info->next_scanline);
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

} // namespace

bool DecodeJpeg(const void* data, std::size_t size, int wantedWidth, int wantedHeight,
                DecodedJpeg* picture)
{
    if (!data || size == 0 || !picture)
        return false;
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    UseErrorManager(reinterpret_cast<jpeg_common_struct*>(&info), &errors);
    // Volatile: it changes between setjmp and a possible longjmp.
    volatile bool decoded = false;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        decoded = Decode(&info, static_cast<const unsigned char*>(data),
                         static_cast<unsigned long>(size), wantedWidth, wantedHeight, picture);
    }
    jpeg_destroy_decompress(&info);
    if (!decoded)
        *picture = DecodedJpeg{};
    return decoded;
}

bool ReadJpegSize(const void* data, std::size_t size, int* width, int* height)
{
    if (!data || size == 0 || !width || !height)
        return false;
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    UseErrorManager(reinterpret_cast<jpeg_common_struct*>(&info), &errors);
    volatile bool read = false;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, static_cast<const unsigned char*>(data),
                     static_cast<unsigned long>(size));
        if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
            *width = static_cast<int>(info.image_width);
            *height = static_cast<int>(info.image_height);
            read = true;
        }
    }
    jpeg_destroy_decompress(&info);
    return read;
}

bool EncodeJpeg(const PixelRows& rows, std::vector<std::uint8_t>* jpeg)
{
    if (!rows.top || !jpeg || !FrameFits(rows.width, rows.height))
        return false;
    auto* dest = static_cast<GrowingDestination*>(std::calloc(1, sizeof(GrowingDestination)));
    if (!dest)
        return false;
    dest->capacity = 64 * 1024;
    dest->buffer = static_cast<unsigned char*>(std::malloc(dest->capacity));
    dest->base.init_destination = &StartDestination;
    dest->base.empty_output_buffer = &GrowDestination;
    dest->base.term_destination = &EndDestination;

    jpeg_compress_struct info{};
    ErrorManager errors{};
    UseErrorManager(reinterpret_cast<jpeg_common_struct*>(&info), &errors);
    // Volatile: it changes between setjmp and a possible longjmp.
    volatile bool encoded = false;
    if (dest->buffer && setjmp(errors.jump) == 0) {
        jpeg_create_compress(&info);
        info.dest = &dest->base;
        encoded = Encode(&info, rows);
    }
    jpeg_destroy_compress(&info);
    const std::size_t written = dest->capacity - dest->base.free_in_buffer;
    if (encoded)
        jpeg->assign(dest->buffer, dest->buffer + written);
    std::free(dest->buffer);
    std::free(dest);
    return encoded;
}

} // namespace kadrix
