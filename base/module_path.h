// Where a module's file is: the full path of a loaded DLL or program, and
// the folder around it.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace kadrix {

// Full path of the module's file (null: the process's program), however long;
// empty when the system can't tell.
std::wstring ModulePath(HMODULE module);

// The folder part of a path: up to and including the last '\', '/' or ':';
// empty when there is none.
std::wstring FolderOf(std::wstring_view path);

// The last part of a path, after its last '\' or '/'.
std::wstring FileNameOf(std::wstring_view path);

} // namespace kadrix
