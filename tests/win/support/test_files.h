// Temporary folders and small file helpers for the Windows tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kadrix::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder under the prefix's temp folder, removed with everything in
// it (including the sibling files Wine uses for alternate data streams).
class TempDir
{
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::wstring& path() const { return path_; }
    std::wstring file(const std::wstring& name) const { return path_ + L"\\" + name; }

private:
    std::wstring path_;
};

bool WriteFileBytes(const std::wstring& path, const Bytes& bytes);
// Empty when the file can't be read.
Bytes ReadFileBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// Bytes that look like the start of a video file and are easy to compare.
Bytes SampleMainData(std::size_t size = 4096);

} // namespace kadrix::test
