// A data object that carries a drop list (CF_HDROP) of files, as the shell
// hands a selection to its extensions.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <string>
#include <vector>

namespace kadrix {

// The data object for the files, with one reference for the caller.
HRESULT CreateDropFilesDataObject(const std::vector<std::wstring>& files, IDataObject** object);

} // namespace kadrix
