// The container probe over a file on disk, read through a handle of its own
// that shares everything: a clip being written, renamed or deleted meanwhile
// is read as it stands.
#pragma once

#include "engine/core/container_probe.h"

namespace kadrix {

// The probe's verdict on the file; NotJudged when it can't be opened (the
// graph then says what is wrong with it).
ContainerProbe ProbeFile(const wchar_t* path);

} // namespace kadrix
