// Times the Media Foundation grab in-process: mf_bench CLIP [RUNS]
//
// Each run grabs the frame at half the clip (source reader opened, sought,
// decoded up to the frame, converted, torn down) and stores it as the capture
// job would, JPEG into the clip's automatic thumbnail stream. Prints the
// median, fastest and slowest run in milliseconds and the median of the grab
// alone, then "median_ms=N" (grab and store) for scripts.
#include "engine/capture/mf_grab.h"
#include "engine/store/stream_store.h"

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to)
{
    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(to.QuadPart - from.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: mf_bench CLIP [RUNS]\n");
        return 2;
    }
    const wchar_t* clip = argv[1];
    const int runs =
        argc > 2 ? std::max(1, static_cast<int>(std::wcstol(argv[2], nullptr, 10))) : 9;
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;

    std::vector<double> total, grab;
    // One run first, not counted: it loads the decoders and GDI+ into the process.
    for (int i = 0; i <= runs; ++i) {
        LARGE_INTEGER start, grabbed, stored;
        kadrix::unique_hbitmap frame;
        ::QueryPerformanceCounter(&start);
        const HRESULT hr = kadrix::GrabFrameWithMediaFoundation(clip, 0.5, 1.0, &frame);
        ::QueryPerformanceCounter(&grabbed);
        if (FAILED(hr)) {
            std::fprintf(stderr, "mf_bench: run %d failed on %ls, 0x%08lx\n", i, clip,
                         static_cast<unsigned long>(hr));
            ::CoUninitialize();
            return 1;
        }
        kadrix::WriteThumbnailStream(clip, frame.get(), 0);
        ::QueryPerformanceCounter(&stored);
        if (i == 0)
            continue;
        grab.push_back(Milliseconds(start, grabbed));
        total.push_back(Milliseconds(start, stored));
    }
    ::CoUninitialize();

    const double median = Median(total);
    std::printf("MF grab and store: median %.1f ms, fastest %.1f ms, slowest %.1f ms (%d runs); "
                "grab alone: median %.1f ms\n",
                median, *std::min_element(total.begin(), total.end()),
                *std::max_element(total.begin(), total.end()), runs, Median(grab));
    std::printf("median_ms=%.1f\n", median);
    return 0;
}
