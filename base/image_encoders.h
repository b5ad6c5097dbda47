// The image encoders GDI+ offers, looked up by MIME type: JPEG for the
// thumbnail streams, PNG for the hosts' and tests' pictures.
#pragma once

#include <windows.h>

#include <string>

namespace kadrix {

// Index of the first GDI+ encoder whose MIME type is exactly mimeType, with
// its class identifier copied to *clsid; -1 when there is none or the list
// can't be read. GDI+ must be running.
int GetEncoderClsid(const wchar_t* mimeType, CLSID* clsid);

// Saves a GDI bitmap as a PNG file, with a GDI+ session of its own; creates
// the file's folder when it is missing. False when nothing was written.
bool SavePng(HBITMAP bitmap, const std::wstring& path);

} // namespace kadrix
