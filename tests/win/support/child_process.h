// Child processes of a test executable: the same program started again with
// "--child" and a command, for what must happen in another process (sharing
// violations are only honest between processes).
#pragma once

#include "base/unique_handle.h"

#include <string>

namespace kadrix::test {

// Runs a child command if the command line asks for one. Returns true when
// it did (and *exitCode holds the child's result).
bool RunChildCommand(int* exitCode);

// Opens a file (or stream) in a child process with no sharing at all and
// holds it until this object dies.
class FileLockedByChild
{
public:
    explicit FileLockedByChild(const std::wstring& path);
    ~FileLockedByChild();
    FileLockedByChild(const FileLockedByChild&) = delete;
    FileLockedByChild& operator=(const FileLockedByChild&) = delete;

    // True once the child reported the file open.
    bool locked() const { return locked_; }

private:
    unique_handle ready_;
    unique_handle release_;
    unique_handle process_;
    bool locked_ = false;
};

} // namespace kadrix::test
