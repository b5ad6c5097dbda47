// One frame of a clip through Media Foundation's source reader: the grab for
// a Windows that has no DirectShow splitter for MP4, MOV or MKV, which Media
// Foundation opens on every Windows since 7.
#pragma once

#include "base/unique_handle.h"
#include "engine/core/frame_limits.h"

#include <windows.h>

#include <cstdint>

namespace kadrix {

// Frames larger than those of core/frame_limits.h are refused before
// anything is allocated for them.
inline constexpr int kMaxGrabSide = kMaxFrameSide;
inline constexpr std::int64_t kMaxGrabPixels = kMaxFramePixels;

// Decoded samples read after the seek before the grab settles for the latest
// one: MF seeks to the key frame before the target and decodes forward, and
// a broken stream must not keep it reading for ever.
inline constexpr int kMaxGrabSamples = 3000;

// Grabs the frame at the capture job's position (value / scale of the clip
// when scale > 0.5, else value seconds, the middle of a shorter clip): the
// first frame stamped at or after it, or the last frame when the stream ends
// before it. On S_OK *frame holds a 32-bit bottom-up DIB section of the
// display aperture's size (B, G, R, 0xFF); on failure it is empty. A clip
// that opens but has no video stream fails with the reader's answer, a
// decoder format other than 32-bit RGB, NV12, I420/IYUV, YV12 or YUY2 or a
// frame past the caps with MF_E_INVALIDMEDIATYPE, and a stream that ends
// without a frame with E_FAIL.
//
// COM must be initialised on the calling thread (the capture job's worker
// has an apartment of its own); Media Foundation is started and shut down
// within the call. The call waits for the decoder and is not bounded in
// time: a caller that must not hang runs it on a thread it can abandon.
// Nothing is logged, shown or written.
HRESULT GrabFrameWithMediaFoundation(const wchar_t* path, double value, double scale,
                                     unique_hbitmap* frame);

} // namespace kadrix
