// kadrix-thumb: asks for video thumbnails the way Explorer does and writes
// them as PNG files.
//
//   kadrix-thumb [--protocol provider|extract] [--size N | --size WxH]
//                [--dll PATH] [--clsid {...}] [--stats N] VIDEO... --out DIR
//
// Without --dll the handler is found in HKEY_CLASSES_ROOT under the file's
// extension, thumbnail-provider key first, then the extract-image key (which
// also selects the older protocol), and created with CoCreateInstance. With
// --dll the library is loaded directly and asked for the class through
// DllGetClassObject, with no registry at all. Each request's time is printed.
// --stats N prints the process's handles, GDI and USER objects, memory and
// threads after every N requests and at the end, so a long run shows what
// the handler leaves behind.
#include "base/com_ptr.h"
#include "base/image_encoders.h"
#include "base/module_path.h"
#include "base/server_library.h"
#include "base/unique_handle.h"
#include "product/identifiers.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <psapi.h>
#include <thumbcache.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace kadrix {
namespace {

enum class Protocol
{
    Provider, // IInitializeWithFile + IThumbnailProvider
    Extract,  // IPersistFile + IExtractImage
};

struct Options
{
    std::optional<Protocol> protocol;
    SIZE size{256, 256};
    std::wstring dll;
    CLSID clsid = CLSID_MyFirstGlimvex;
    std::vector<std::wstring> videos;
    std::wstring out = L".";
    unsigned statsEvery = 0; // 0: no figures
};

struct Handler
{
    com_ptr<IUnknown> object;
    Protocol protocol = Protocol::Provider;
};

void Usage()
{
    std::fwprintf(stderr,
                  L"usage: kadrix-thumb [--protocol provider|extract] [--size N | --size WxH]\n"
                  L"                    [--dll PATH] [--clsid {CLSID}] [--stats N]\n"
                  L"                    VIDEO... --out DIR\n");
}

bool ParseSize(const wchar_t* text, SIZE* size)
{
    int cx = 0, cy = 0;
    wchar_t rest = 0;
    if (std::swscanf(text, L"%dx%d%lc", &cx, &cy, &rest) == 2) {
        // WxH
    } else if (std::swscanf(text, L"%d%lc", &cx, &rest) == 1) {
        cy = cx;
    } else {
        return false;
    }
    if (cx <= 0 || cy <= 0)
        return false;
    *size = {cx, cy};
    return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options* options)
{
    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == L"--protocol" && hasValue) {
            const std::wstring value = argv[++i];
            if (value == L"provider")
                options->protocol = Protocol::Provider;
            else if (value == L"extract")
                options->protocol = Protocol::Extract;
            else
                return false;
        } else if (arg == L"--size" && hasValue) {
            if (!ParseSize(argv[++i], &options->size))
                return false;
        } else if (arg == L"--dll" && hasValue) {
            options->dll = argv[++i];
        } else if (arg == L"--clsid" && hasValue) {
            if (FAILED(::CLSIDFromString(argv[++i], &options->clsid)))
                return false;
        } else if (arg == L"--stats" && hasValue) {
            wchar_t* end = nullptr;
            const unsigned long every = std::wcstoul(argv[++i], &end, 10);
            if (*end != L'\0' || every == 0 || every > 1000000)
                return false;
            options->statsEvery = static_cast<unsigned>(every);
        } else if (arg == L"--out" && hasValue) {
            options->out = argv[++i];
        } else if (arg.rfind(L"--", 0) == 0) {
            return false;
        } else {
            options->videos.push_back(arg);
        }
    }
    return !options->videos.empty();
}

std::optional<CLSID> RegisteredHandler(const std::wstring& extension, const wchar_t* key)
{
    const std::wstring path = extension + L"\\" + ids::kShellExKey + L"\\" + key;
    wchar_t text[64];
    DWORD size = sizeof text;
    if (::RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text,
                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    CLSID clsid;
    if (FAILED(::CLSIDFromString(text, &clsid)))
        return std::nullopt;
    return clsid;
}

// The handler the shell would use for the file, as the shell finds it.
HRESULT HandlerFromRegistry(const std::wstring& video, const Options& options, Handler* handler)
{
    const std::size_t dot = video.find_last_of(L'.');
    if (dot == std::wstring::npos)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    const std::wstring extension = video.substr(dot);

    std::optional<CLSID> clsid;
    if (options.protocol != Protocol::Extract) {
        clsid = RegisteredHandler(extension, ids::kThumbnailProviderHandlerKey);
        handler->protocol = Protocol::Provider;
    }
    if (!clsid && options.protocol != Protocol::Provider) {
        clsid = RegisteredHandler(extension, ids::kExtractImageHandlerKey);
        handler->protocol = Protocol::Extract;
    }
    if (!clsid)
        return REGDB_E_CLASSNOTREG;
    return ::CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              handler->object.put_void());
}

// The handler straight from the library, as a test harness would.
HRESULT HandlerFromDll(const ServerLibrary& library, const Options& options, Handler* handler)
{
    handler->protocol = options.protocol.value_or(Protocol::Provider);
    return library.CreateInstance(options.clsid, IID_IUnknown, handler->object.put_void());
}

HRESULT RunRequest(const Handler& handler, const std::wstring& video, SIZE size, HBITMAP* bitmap)
{
    if (handler.protocol == Protocol::Provider) {
        auto initialize = handler.object.try_query<IInitializeWithFile>();
        auto provider = handler.object.try_query<IThumbnailProvider>();
        if (!initialize || !provider)
            return E_NOINTERFACE;
        HRESULT hr = initialize->Initialize(video.c_str(), STGM_READ);
        if (FAILED(hr))
            return hr;
        WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
        return provider->GetThumbnail(static_cast<UINT>(size.cx), bitmap, &alpha);
    }
    auto persist = handler.object.try_query<IPersistFile>();
    auto extract = handler.object.try_query<IExtractImage>();
    if (!persist || !extract)
        return E_NOINTERFACE;
    HRESULT hr = persist->Load(video.c_str(), STGM_READ);
    if (FAILED(hr))
        return hr;
    wchar_t location[MAX_PATH] = {};
    DWORD priority = 0;
    DWORD flags = IEIFLAG_OFFLINE;
    hr = extract->GetLocation(location, MAX_PATH, &priority, &size, 32, &flags);
    if (FAILED(hr) && hr != E_PENDING)
        return hr;
    return extract->Extract(bitmap);
}

// What a long-lived host would watch grow: the process's kernel handles,
// GDI and USER objects, committed private memory, peak working set, threads.
// Where the system counts nothing (Wine answers 0 for the handle count, the
// GUI resources and the private usage), they are counted here instead: the
// handle table probed, the GDI table probed by index, the process's windows
// for its USER objects, and its committed private pages.
struct ProcessFigures
{
    DWORD handles = 0;
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    SIZE_T privateBytes = 0;
    SIZE_T peakWorkingSet = 0;
    DWORD threads = 0;
};

DWORD CountOwnThreads()
{
    unique_file snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot)
        return 0;
    const DWORD self = ::GetCurrentProcessId();
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD count = 0;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more;
         more = ::Thread32Next(snapshot.get(), &entry))
        if (entry.th32OwnerProcessID == self)
            ++count;
    return count;
}

// Kernel handles are multiples of 4 from 4 up, handed out lowest first; a
// long run of invalid values ends the table.
DWORD ProbeHandleTable()
{
    DWORD count = 0;
    DWORD gap = 0;
    for (ULONG_PTR value = 4; gap < 4096; value += 4) {
        DWORD flags = 0;
        if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) {
            ++count;
            gap = 0;
        } else {
            ++gap;
        }
    }
    return count;
}

// Wine takes a GDI handle of a bare table index for the object there.
DWORD ProbeGdiTable()
{
    DWORD count = 0;
    for (ULONG_PTR index = 1; index <= 0xFFFF; ++index)
        if (::GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0)
            ++count;
    return count;
}

BOOL CALLBACK CountIfOwn(HWND window, LPARAM parameter)
{
    DWORD process = 0;
    ::GetWindowThreadProcessId(window, &process);
    if (process == ::GetCurrentProcessId())
        ++*reinterpret_cast<DWORD*>(parameter);
    return TRUE;
}

// Top-level and message-only windows: what a graph left behind would show.
DWORD CountOwnWindows()
{
    DWORD count = 0;
    ::EnumWindows(&CountIfOwn, reinterpret_cast<LPARAM>(&count));
    for (HWND window = nullptr;
         (window = ::FindWindowExW(HWND_MESSAGE, window, nullptr, nullptr)) != nullptr;)
        (void)CountIfOwn(window, reinterpret_cast<LPARAM>(&count));
    return count;
}

SIZE_T CommittedPrivateBytes()
{
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION region{};
    const char* address = nullptr;
    while (::VirtualQuery(address, &region, sizeof region) == sizeof region) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            total += region.RegionSize;
        const char* next = static_cast<const char*>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return total;
}

ProcessFigures MeasureProcess()
{
    const HANDLE self = ::GetCurrentProcess();
    ProcessFigures figures;
    if (!::GetProcessHandleCount(self, &figures.handles) || figures.handles == 0)
        figures.handles = ProbeHandleTable();
    figures.gdiObjects = ::GetGuiResources(self, GR_GDIOBJECTS);
    if (figures.gdiObjects == 0)
        figures.gdiObjects = ProbeGdiTable();
    figures.userObjects = ::GetGuiResources(self, GR_USEROBJECTS);
    if (figures.userObjects == 0)
        figures.userObjects = CountOwnWindows();
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (::GetProcessMemoryInfo(self, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                               sizeof memory)) {
        figures.privateBytes = memory.PrivateUsage;
        figures.peakWorkingSet = memory.PeakWorkingSetSize;
    }
    if (figures.privateBytes == 0)
        figures.privateBytes = CommittedPrivateBytes();
    figures.threads = CountOwnThreads();
    return figures;
}

// One line of key=value pairs, for scripts to read.
void PrintStats(unsigned requests)
{
    const ProcessFigures f = MeasureProcess();
    std::wprintf(L"stats: requests=%u handles=%lu gdi=%lu user=%lu private_kb=%llu "
                 L"peak_ws_kb=%llu threads=%lu\n",
                 requests, f.handles, f.gdiObjects, f.userObjects,
                 static_cast<unsigned long long>(f.privateBytes / 1024),
                 static_cast<unsigned long long>(f.peakWorkingSet / 1024), f.threads);
    std::fflush(stdout);
}

// One thumbnail request, start to PNG, with its line of output.
bool ServeOne(const std::optional<ServerLibrary>& library, const Options& options,
              const std::wstring& video)
{
    const auto start = std::chrono::steady_clock::now();
    Handler handler;
    HRESULT hr = library ? HandlerFromDll(*library, options, &handler)
                         : HandlerFromRegistry(video, options, &handler);
    HBITMAP raw = nullptr;
    if (SUCCEEDED(hr))
        hr = RunRequest(handler, video, options.size, &raw);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    unique_hbitmap bitmap(raw);
    handler.object.reset();

    if (FAILED(hr) || !bitmap) {
        std::wprintf(L"%ls: failed (0x%08lX) after %.1f ms\n", video.c_str(),
                     static_cast<unsigned long>(hr), ms);
        return false;
    }
    BITMAP info{};
    ::GetObjectW(bitmap.get(), sizeof info, &info);
    const std::wstring png = options.out + L"\\" + FileNameOf(video) + L".png";
    if (!SavePng(bitmap.get(), png)) {
        std::wprintf(L"%ls: can't write %ls\n", video.c_str(), png.c_str());
        return false;
    }
    std::wprintf(L"%ls: %.1f ms, %ldx%ld, %ls -> %ls\n", video.c_str(), ms, info.bmWidth,
                 info.bmHeight, handler.protocol == Protocol::Provider ? L"provider" : L"extract",
                 png.c_str());
    return true;
}

int Run(const Options& options)
{
    std::optional<ServerLibrary> library;
    if (!options.dll.empty()) {
        library.emplace(options.dll.c_str());
        if (!*library) {
            std::fwprintf(stderr, L"kadrix-thumb: can't load %ls (error %lu)\n",
                          options.dll.c_str(), ::GetLastError());
            return 2;
        }
    }
    ::SHCreateDirectoryExW(nullptr, options.out.c_str(), nullptr); // with its parents

    int failures = 0;
    unsigned done = 0;
    for (const std::wstring& video : options.videos) {
        if (!ServeOne(library, options, video))
            ++failures;
        std::fflush(stdout); // a host that dies later still leaves its lines
        ++done;
        if (options.statsEvery != 0 && done % options.statsEvery == 0)
            PrintStats(done);
    }
    if (options.statsEvery != 0 && done % options.statsEvery != 0)
        PrintStats(done);
    return failures == 0 ? 0 : 1;
}

} // namespace
} // namespace kadrix

int wmain(int argc, wchar_t** argv)
{
    kadrix::Options options;
    if (!kadrix::ParseOptions(argc, argv, &options)) {
        kadrix::Usage();
        return 2;
    }
    // An apartment like Explorer's, where the handler's objects live.
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    const int result = kadrix::Run(options);
    ::CoUninitialize();
    return result;
}
