#include "support/clips.h"

#include <windows.h>

#include <climits>
#include <cstdlib>

namespace kadrix::test {

int SegmentOf(const Picture& picture)
{
    if (picture.width < 4 || picture.height < 16)
        return -1;
    const Rgb seen = picture.mean(picture.width / 4, 8 + (picture.height - 8) / 4,
                                  picture.width / 2, (picture.height - 8) / 2);
    int best = -1;
    int bestDistance = INT_MAX;
    for (int i = 0; i < kSegments; ++i) {
        const Rgb& c = kSegmentColours[i];
        const int distance =
            std::abs(c.r - seen.r) + std::abs(c.g - seen.g) + std::abs(c.b - seen.b);
        if (distance < bestDistance) {
            bestDistance = distance;
            best = i;
        }
    }
    // Colour conversions and JPEG move a channel by a few steps, never across
    // to a neighbour of the palette.
    return bestDistance <= 90 ? best : -1;
}

std::wstring MediaClip(const std::wstring& name)
{
    wchar_t folder[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableW(L"KADRIX_MEDIA", folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return name;
    return std::wstring(folder) + L"\\" + name;
}

std::wstring CopyClip(const TempDir& dir, const std::wstring& name)
{
    const std::wstring copy = dir.file(name);
    if (!::CopyFileW(MediaClip(name).c_str(), copy.c_str(), FALSE))
        return {};
    return copy;
}

namespace {

DWORD WINAPI OpenAndClose(void* parameter)
{
    const auto* pipe = static_cast<const std::wstring*>(parameter);
    HANDLE writer =
        ::CreateFileW(pipe->c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (writer != INVALID_HANDLE_VALUE)
        ::CloseHandle(writer);
    return 0;
}

} // namespace

bool ReleasePipe(const std::wstring& pipe)
{
    // Opening a pipe for writing waits for its reader: on a thread of its
    // own, so a reader that is not there can't hold the test. (The copy of
    // the name outlives a thread left waiting.)
    auto* name = new std::wstring(pipe);
    HANDLE thread = ::CreateThread(nullptr, 0, &OpenAndClose, name, 0, nullptr);
    if (!thread)
        return false;
    const bool done = ::WaitForSingleObject(thread, 5000) == WAIT_OBJECT_0;
    ::CloseHandle(thread);
    if (done)
        delete name;
    return done;
}

} // namespace kadrix::test
