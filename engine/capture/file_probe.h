// The container probe over a file on disk, read through a handle of its own
// that shares everything: a clip being written, renamed or deleted meanwhile
// is read as it stands.
#pragma once

#include "engine/capture/core/container_probe.h"

#include <windows.h>

namespace kadrix {

// The probe's verdict on the file; NotJudged when it can't be opened (the
// graph then says what is wrong with it).
ContainerProbe ProbeFile(const wchar_t* path);

// Whether the file is worth a filter graph: S_OK, or the reason it is not,
// VFW_E_INVALID_FILE_FORMAT for a container cut or broken where nothing can
// decode it, VFW_E_INVALID_MEDIA_TYPE for a declared frame larger than the
// process takes. Building a graph for such a file can hold its caller until
// a deadline, or have a decoder allocate for a frame the process can't hold.
HRESULT CheckBeforeGraph(const wchar_t* path);

} // namespace kadrix
