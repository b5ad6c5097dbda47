// Times the capture job in-process: capture_bench CLIP [RUNS]
//
// Each run is one CaptureToStream at half the clip (graph built, one frame
// grabbed, JPEG written into the clip's automatic thumbnail stream, graph torn
// down). Prints the median, fastest and slowest run in milliseconds, and a
// last line "median_ms=N" for scripts.
#include "engine/capture/capture_job.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <vector>

using namespace kadrix;

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: capture_bench CLIP [RUNS]\n");
        return 2;
    }
    const wchar_t* clip = argv[1];
    const int runs =
        argc > 2 ? std::max(1, static_cast<int>(std::wcstol(argv[2], nullptr, 10))) : 9;

    LARGE_INTEGER frequency;
    ::QueryPerformanceFrequency(&frequency);
    // One run first, not counted: it loads the decoders and GDI+ into the process.
    if (FAILED(CaptureToStream(clip, 0.5, 1.0, 0))) {
        std::fprintf(stderr, "capture_bench: the capture job failed on %ls\n", clip);
        return 1;
    }
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        LARGE_INTEGER start, end;
        ::QueryPerformanceCounter(&start);
        const HRESULT hr = CaptureToStream(clip, 0.5, 1.0, 0);
        ::QueryPerformanceCounter(&end);
        if (FAILED(hr)) {
            std::fprintf(stderr, "capture_bench: run %d failed, 0x%08lx\n", i + 1,
                         static_cast<unsigned long>(hr));
            return 1;
        }
        times.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                        static_cast<double>(frequency.QuadPart));
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("capture job: median %.1f ms, fastest %.1f ms, slowest %.1f ms (%d runs)\n", median,
                times.front(), times.back(), runs);
    std::printf("median_ms=%.1f\n", median);
    return 0;
}
