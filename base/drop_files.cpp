#include "base/drop_files.h"

#include "base/com_object.h"
#include "base/exception_boundary.h"

#include <shlobj.h>

#include <cstring>
#include <new>

namespace kadrix {
namespace {

// DROPFILES followed by the paths, each with its terminator, and one more.
HGLOBAL MakeDropList(const std::vector<std::wstring>& files)
{
    std::size_t characters = 1;
    for (const std::wstring& file : files)
        characters += file.size() + 1;
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                   sizeof(DROPFILES) + characters * sizeof(wchar_t));
    if (!memory)
        return nullptr;
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& file : files) {
        std::memcpy(text, file.c_str(), (file.size() + 1) * sizeof(wchar_t));
        text += file.size() + 1;
    }
    ::GlobalUnlock(memory);
    return memory;
}

HGLOBAL Duplicate(HGLOBAL source)
{
    const SIZE_T size = ::GlobalSize(source);
    HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    const void* from = ::GlobalLock(source);
    void* to = ::GlobalLock(copy);
    std::memcpy(to, from, size);
    ::GlobalUnlock(copy);
    ::GlobalUnlock(source);
    return copy;
}

class DropFilesDataObject final : public ComObject<IDataObject>
{
public:
    explicit DropFilesDataObject(HGLOBAL list) : list_(list) {}

    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override
    {
        if (!format || !medium)
            return E_POINTER;
        const HRESULT hr = QueryGetData(format);
        if (FAILED(hr))
            return hr;
        // Each caller gets a copy of its own and frees it with ReleaseStgMedium.
        HGLOBAL copy = Duplicate(list_);
        if (!copy)
            return E_OUTOFMEMORY;
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = copy;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC* format) override
    {
        if (!format)
            return E_POINTER;
        if (format->cfFormat != CF_HDROP || format->dwAspect != DVASPECT_CONTENT)
            return DV_E_FORMATETC;
        return (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_TYMED;
    }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override
    {
        if (out)
            out->ptd = nullptr;
        return DATA_S_SAMEFORMATETC;
    }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override
    {
        if (!formats)
            return E_POINTER;
        *formats = nullptr;
        if (direction != DATADIR_GET)
            return E_NOTIMPL;
        FORMATETC drop{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        return ::SHCreateStdEnumFmtEtc(1, &drop, formats);
    }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override
    {
        return OLE_E_ADVISENOTSUPPORTED;
    }
    STDMETHODIMP DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

private:
    ~DropFilesDataObject() override { ::GlobalFree(list_); }

    HGLOBAL list_;
};

} // namespace

HRESULT CreateDropFilesDataObject(const std::vector<std::wstring>& files, IDataObject** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    return GuardHResult([&]() -> HRESULT {
        HGLOBAL list = MakeDropList(files);
        if (!list)
            return E_OUTOFMEMORY;
        auto* created = new (std::nothrow) DropFilesDataObject(list);
        if (!created) {
            ::GlobalFree(list);
            return E_OUTOFMEMORY;
        }
        *object = created;
        return S_OK;
    });
}

} // namespace kadrix
