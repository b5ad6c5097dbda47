// The thumbnail extractor: Explorer hands it a video file and asks for a
// bitmap, over the older (IPersistFile + IExtractImage) or the newer
// (IInitializeWithFile + IThumbnailProvider) protocol. Both end in one
// thumbnail request.
#pragma once

#include "com/module.h"
#include "engine/settings/core/settings.h"

#include <windows.h>
#include <shlobj.h>
#include <thumbcache.h>
#include <propsys.h>

namespace kadrix {

class CMyFirstGlimvex final
    : public com::ServerObject<IPersistFile, IExtractImage, IThumbnailProvider, IInitializeWithFile>
{
public:
    CMyFirstGlimvex() = default;

    // IPersistFile
    STDMETHODIMP GetClassID(CLSID* clsid) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPCOLESTR fileName, DWORD mode) override;
    STDMETHODIMP Save(LPCOLESTR fileName, BOOL remember) override;
    STDMETHODIMP SaveCompleted(LPCOLESTR fileName) override;
    STDMETHODIMP GetCurFile(LPOLESTR* fileName) override;

    // IExtractImage
    STDMETHODIMP GetLocation(LPWSTR pathBuffer, DWORD pathBufferSize, DWORD* priority,
                             const SIZE* size, DWORD colorDepth, DWORD* flags) override;
    STDMETHODIMP Extract(HBITMAP* bitmap) override;

    // IThumbnailProvider
    STDMETHODIMP GetThumbnail(UINT cx, HBITMAP* bitmap, WTS_ALPHATYPE* alphaType) override;

    // IInitializeWithFile
    STDMETHODIMP Initialize(LPCWSTR filePath, DWORD mode) override;

private:
    ~CMyFirstGlimvex() override = default;

    HRESULT SetPath(LPCWSTR path);
    HRESULT ThumbnailRequest(HBITMAP* bitmap);
    bool AutomaticThumbnailIsCurrent() const;

    int width_ = 0;
    int height_ = 0;
    wchar_t path_[MAX_PATH] = {};
    ThumbnailSettings settings_;
};

} // namespace kadrix
