#include "engine/store/stream_store.h"

#include "base/unique_handle.h"
#include "engine/core/frame_limits.h"
#include "engine/store/core/stream_names.h"
#include "engine/store/jpeg_codec.h"
#include "engine/core/phase_clock.h"
#include "engine/store/user_message.h"

#include <string>
#include <vector>

namespace kadrix {

namespace {

// The frame's pixels encoded as JPEG. A 32-bit bottom-up DIB section, as the
// capture makes them, is read in place; anything else is first copied out
// with GetDIBits, top row first.
bool EncodeFrame(HBITMAP bitmap, std::vector<std::uint8_t>* jpeg)
{
    DIBSECTION section{};
    if (::GetObjectW(bitmap, sizeof section, &section) == sizeof section &&
        section.dsBm.bmBitsPixel == 32 && section.dsBm.bmBits && section.dsBmih.biHeight > 0) {
        ::GdiFlush();
        const int height = section.dsBm.bmHeight;
        const std::ptrdiff_t stride = section.dsBm.bmWidthBytes;
        PixelRows rows;
        rows.top = static_cast<const std::uint8_t*>(section.dsBm.bmBits) + stride * (height - 1);
        rows.width = section.dsBm.bmWidth;
        rows.height = height;
        rows.stride = -stride;
        return EncodeJpeg(rows, jpeg);
    }
    BITMAP info{};
    if (::GetObjectW(bitmap, sizeof info, &info) == 0 || !FrameFits(info.bmWidth, info.bmHeight))
        return false;
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof header.bmiHeader;
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight;
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(info.bmWidth) * info.bmHeight * 4);
    const window_dc screen(nullptr);
    if (::GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(info.bmHeight), pixels.data(),
                    &header, DIB_RGB_COLORS) != info.bmHeight)
        return false;
    PixelRows rows{pixels.data(), info.bmWidth, info.bmHeight,
                   static_cast<std::ptrdiff_t>(info.bmWidth) * 4};
    return EncodeJpeg(rows, jpeg);
}

// A refusal for lack of access, as the caller wants to tell it apart: a
// stream another program holds (a sharing or lock violation) is one too,
// since the user sees the same thing, a frame that can't be kept.
HRESULT FromWriteError(DWORD error)
{
    const bool refused = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ||
                         error == ERROR_LOCK_VIOLATION;
    return refused ? E_ACCESSDENIED : HRESULT_FROM_WIN32(error);
}

// The one place where a clip's streams are opened for writing: opened, not
// truncated (a truncation at the open would come before the mark), and for
// the handler's own streams marked before anything is written. A handle that
// can't be marked is not used: the stream then stays as it was, and the next
// request tries again. Null with the error in *error otherwise.
unique_file OpenStreamForWriting(const wchar_t* path, std::wstring_view name, DWORD access,
                                 DWORD share, DWORD* error)
{
    unique_file stream(::CreateFileW(StreamPath(path, name).c_str(), access, share, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!stream || (name != kUserThumbStream && !KeepFileTimes(stream.get()))) {
        *error = ::GetLastError();
        return {};
    }
    return stream;
}

} // namespace

unique_file HoldClip(const wchar_t* path)
{
    if (!path)
        return {};
    unique_file clip(::CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (!clip || ::GetFileType(clip.get()) != FILE_TYPE_DISK ||
        !::GetFileInformationByHandle(clip.get(), &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    return clip;
}

bool KeepFileTimes(HANDLE file)
{
    FILETIME keep{0xFFFFFFFF, 0xFFFFFFFF};
    return ::SetFileTime(file, nullptr, &keep, &keep) != FALSE;
}

bool WriteGenerationStamp(const wchar_t* path, std::uint32_t stamp)
{
    const unique_file clip = HoldClip(path);
    if (!clip)
        return false; // gone meanwhile: nothing is written, nothing created
    DWORD error = 0;
    const unique_file stream = OpenStreamForWriting(path, kStampStream, GENERIC_WRITE,
                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &error);
    std::uint8_t bytes[4];
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<std::uint8_t>(stamp >> (8 * i));
    DWORD written = 0;
    return stream && ::WriteFile(stream.get(), bytes, sizeof bytes, &written, nullptr) &&
           written == sizeof bytes;
}

bool IsRemoteData(const wchar_t* path)
{
    // Not every SDK names the two recall attributes.
    constexpr DWORD kRecallOnOpen = 0x00040000;
    constexpr DWORD kRecallOnDataAccess = 0x00400000;
    const DWORD attributes = path ? ::GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    return attributes != INVALID_FILE_ATTRIBUTES &&
           (attributes & (FILE_ATTRIBUTE_OFFLINE | kRecallOnOpen | kRecallOnDataAccess)) != 0;
}

StreamRoom RoomForUserStream(const wchar_t* path)
{
    const DWORD attributes = path ? ::GetFileAttributesW(path) : INVALID_FILE_ATTRIBUTES;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        return StreamRoom::ReadOnly;
    // The volume's root, for a drive letter or a share alike.
    wchar_t full[MAX_PATH];
    wchar_t root[MAX_PATH];
    DWORD flags = 0;
    wchar_t system[32] = {};
    if (!path || !::GetFullPathNameW(path, MAX_PATH, full, nullptr) ||
        !::GetVolumePathNameW(full, root, MAX_PATH) ||
        !::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, system, 32))
        return StreamRoom::Kept; // unknown: the write itself will tell
    // NTFS always keeps named streams, also where a layer in between does not
    // say so; FAT, exFAT and shares without them do say so.
    if ((flags & FILE_NAMED_STREAMS) || ::lstrcmpiW(system, L"NTFS") == 0)
        return StreamRoom::Kept;
    return StreamRoom::NoNamedStreams;
}

HRESULT SaveThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen)
{
    if (!path || !bitmap)
        return E_POINTER;
    const unique_file clip = HoldClip(path);
    if (!clip)
        return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    std::vector<std::uint8_t> jpeg;
    if (!EncodeFrame(bitmap, &jpeg))
        return E_FAIL;
    MarkPhase("JPEG encode");

    // The stream is replaced whole; a write that fails half way leaves none
    // rather than a broken picture.
    const std::wstring_view name = ThumbStreamName(userChosen != 0);
    DWORD error = 0;
    unique_file out = OpenStreamForWriting(path, name, GENERIC_WRITE, 0, &error);
    if (!out)
        return FromWriteError(error);
    DWORD written = 0;
    if (!::SetEndOfFile(out.get()) ||
        !::WriteFile(out.get(), jpeg.data(), static_cast<DWORD>(jpeg.size()), &written, nullptr) ||
        written != jpeg.size()) {
        error = ::GetLastError();
        out.reset();
        ::DeleteFileW(StreamPath(path, name).c_str());
        return FromWriteError(error ? error : ERROR_WRITE_FAULT);
    }
    MarkPhase("write the stream");
    return S_OK;
}

void WriteThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen)
{
    if (SaveThumbnailStream(path, bitmap, userChosen) == E_ACCESSDENIED && userChosen)
        ShowUserMessage(kAccessDeniedText, kAccessDeniedCaption);
}

bool StreamExists(const wchar_t* path, const wchar_t* name)
{
    if (!path || !name)
        return false;
    const std::wstring stream = StreamPath(path, name);
    unique_file file(::CreateFileW(stream.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                   OPEN_EXISTING, 0, nullptr));
    return static_cast<bool>(file);
}

} // namespace kadrix
