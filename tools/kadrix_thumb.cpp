// kadrix-thumb: asks for video thumbnails the way Explorer does and writes
// them as PNG files.
//
//   kadrix-thumb [--protocol provider|extract] [--size N | --size WxH]
//                [--dll PATH] [--clsid {...}] VIDEO... --out DIR
//
// Without --dll the handler is found in HKEY_CLASSES_ROOT under the file's
// extension, thumbnail-provider key first, then the extract-image key (which
// also selects the older protocol), and created with CoCreateInstance. With
// --dll the library is loaded directly and asked for the class through
// DllGetClassObject, with no registry at all. Each request's time is printed.
#include "base/com_ptr.h"
#include "base/image_encoders.h"
#include "base/module_path.h"
#include "base/server_library.h"
#include "base/unique_handle.h"
#include "product/identifiers.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <thumbcache.h>

#include <chrono>
#include <cstdio>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

using kadrix::com_ptr;

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
                  L"                    [--dll PATH] [--clsid {CLSID}] VIDEO... --out DIR\n");
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
    const std::wstring path = extension + L"\\" + kadrix::ids::kShellExKey + L"\\" + key;
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
        clsid = RegisteredHandler(extension, kadrix::ids::kThumbnailProviderHandlerKey);
        handler->protocol = Protocol::Provider;
    }
    if (!clsid && options.protocol != Protocol::Provider) {
        clsid = RegisteredHandler(extension, kadrix::ids::kExtractImageHandlerKey);
        handler->protocol = Protocol::Extract;
    }
    if (!clsid)
        return REGDB_E_CLASSNOTREG;
    return ::CoCreateInstance(*clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                              handler->object.put_void());
}

// The handler straight from the library, as a test harness would.
HRESULT HandlerFromDll(const kadrix::ServerLibrary& library, const Options& options,
                       Handler* handler)
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

int Run(const Options& options)
{
    std::optional<kadrix::ServerLibrary> library;
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
    for (const std::wstring& video : options.videos) {
        const auto start = std::chrono::steady_clock::now();
        Handler handler;
        HRESULT hr = library ? HandlerFromDll(*library, options, &handler)
                             : HandlerFromRegistry(video, options, &handler);
        HBITMAP raw = nullptr;
        if (SUCCEEDED(hr))
            hr = RunRequest(handler, video, options.size, &raw);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        kadrix::unique_hbitmap bitmap(raw);
        handler.object.reset();

        if (FAILED(hr) || !bitmap) {
            std::wprintf(L"%ls: failed (0x%08lX) after %.1f ms\n", video.c_str(),
                         static_cast<unsigned long>(hr), ms);
            ++failures;
            continue;
        }
        BITMAP info{};
        ::GetObjectW(bitmap.get(), sizeof info, &info);
        const std::wstring png = options.out + L"\\" + kadrix::FileNameOf(video) + L".png";
        if (!kadrix::SavePng(bitmap.get(), png)) {
            std::wprintf(L"%ls: can't write %ls\n", video.c_str(), png.c_str());
            ++failures;
            continue;
        }
        std::wprintf(
            L"%ls: %.1f ms, %ldx%ld, %ls -> %ls\n", video.c_str(), ms, info.bmWidth, info.bmHeight,
            handler.protocol == Protocol::Provider ? L"provider" : L"extract", png.c_str());
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, &options)) {
        Usage();
        return 2;
    }
    // An apartment like Explorer's, where the handler's objects live.
    if (FAILED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 2;
    const int result = Run(options);
    ::CoUninitialize();
    return result;
}
