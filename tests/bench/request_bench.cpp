// Where a thumbnail request's time goes: the extractor object linked in, a
// phase clock installed, and for a clip the cold request (no streams: the
// capture, the JPEG write, the tile) and the cached one (the tile from the
// stream), RUNS times each. Prints each phase's median in milliseconds.
//
//   request_bench CLIP [RUNS]
//
// Not a test: figures only.
#include "base/com_ptr.h"
#include "engine/store/core/stream_names.h"
#include "engine/core/phase_clock.h"
#include "thumbnail_handler/my_first_glimvex.h"

#include <windows.h>
#include <objbase.h>
#include <thumbcache.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

namespace {

using namespace kadrix;
using Phases = std::vector<std::pair<std::string, double>>;

// One request on a fresh extractor, as the shell makes it.
Phases Request(const std::wstring& clip)
{
    kadrix::PhaseClock clock;
    kadrix::InstalledPhaseClock() = &clock;
    clock.Start();
    kadrix::com_ptr<IUnknown> object;
    if (FAILED(kadrix::com::CreateInstance<CMyFirstGlimvex>(IID_IUnknown, object.put_void())))
        return {};
    auto initialize = object.try_query<IInitializeWithFile>();
    auto provider = object.try_query<IThumbnailProvider>();
    HBITMAP bitmap = nullptr;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    if (FAILED(initialize->Initialize(clip.c_str(), STGM_READ)) ||
        FAILED(provider->GetThumbnail(256, &bitmap, &alpha)))
        return {};
    ::DeleteObject(bitmap);
    object.reset();
    clock.Mark("the rest");
    kadrix::InstalledPhaseClock() = nullptr;
    return clock.Phases();
}

void RemoveStreams(const std::wstring& clip)
{
    for (std::wstring_view stream :
         {kadrix::kAutoThumbStream, kadrix::kUserThumbStream, kadrix::kStampStream})
        ::DeleteFileW(kadrix::StreamPath(clip, stream).c_str());
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The medians of each phase over the runs, in the order the phases came.
void Print(const char* title, const std::vector<Phases>& runs)
{
    std::vector<std::string> order;
    std::map<std::string, std::vector<double>> times;
    std::vector<double> totals;
    for (const Phases& run : runs) {
        std::map<std::string, double> sums;
        double total = 0;
        for (const auto& [phase, ms] : run) {
            if (!sums.count(phase) && std::find(order.begin(), order.end(), phase) == order.end())
                order.push_back(phase);
            sums[phase] += ms;
            total += ms;
        }
        for (const auto& [phase, ms] : sums)
            times[phase].push_back(ms);
        totals.push_back(total);
    }
    std::printf("%s: %.1f ms (median of %zu)\n", title, Median(totals), runs.size());
    for (const std::string& phase : order)
        std::printf("  %-32s %8.1f ms\n", phase.c_str(), Median(times[phase]));
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        std::fwprintf(stderr, L"usage: request_bench CLIP [RUNS]\n");
        return 2;
    }
    const std::wstring clip = argv[1];
    const int runs = argc > 2 ? std::max(1, _wtoi(argv[2])) : 7;
    // An apartment like the shell's thumbnail threads.
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::vector<Phases> cold, cached;
    for (int i = 0; i < runs; ++i) {
        RemoveStreams(clip);
        Phases first = Request(clip);
        Phases second = Request(clip);
        if (first.empty() || second.empty()) {
            std::fwprintf(stderr, L"request_bench: a request failed on %ls\n", clip.c_str());
            return 1;
        }
        cold.push_back(first);
        cached.push_back(second);
    }
    RemoveStreams(clip);
    Print("cold request", cold);
    Print("cached request", cached);
    ::CoUninitialize();
    return 0;
}
