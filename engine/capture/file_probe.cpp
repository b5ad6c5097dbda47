#include "engine/capture/file_probe.h"

#include "base/unique_handle.h"
#include "engine/core/frame_limits.h"

#include <windows.h>
#include <vfwmsgs.h>

#include <algorithm>

namespace kadrix {
namespace {

class HandleReader final : public ProbeReader
{
public:
    explicit HandleReader(HANDLE file) : file_(file) {}

    std::uint64_t Size() override
    {
        LARGE_INTEGER size{};
        return ::GetFileSizeEx(file_, &size) && size.QuadPart > 0
                   ? static_cast<std::uint64_t>(size.QuadPart)
                   : 0;
    }

    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count) override
    {
        OVERLAPPED at{};
        at.Offset = static_cast<DWORD>(offset);
        at.OffsetHigh = static_cast<DWORD>(offset >> 32);
        DWORD read = 0;
        const DWORD asked = static_cast<DWORD>(std::min<std::size_t>(count, 1u << 30));
        if (!::ReadFile(file_, buffer, asked, &read, &at))
            return 0;
        return read;
    }

private:
    HANDLE file_;
};

} // namespace

ContainerProbe ProbeFile(const wchar_t* path)
{
    unique_file file(::CreateFileW(path, GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    HandleReader reader(file.get());
    return ProbeContainer(reader);
}

HRESULT CheckBeforeGraph(const wchar_t* path)
{
    const ContainerProbe probe = ProbeFile(path);
    if (probe.verdict == ContainerVerdict::Undecodable)
        return VFW_E_INVALID_FILE_FORMAT;
    if (probe.width != 0 && probe.height != 0 && !FrameFits(probe.width, probe.height))
        return VFW_E_INVALID_MEDIA_TYPE;
    return S_OK;
}

} // namespace kadrix
