// The thumbnail stream store: JPEG frames and the generation stamp kept in
// alternate data streams of the video file itself.
//
// On NTFS a write into any stream of a file counts as a change of the file:
// its "Date modified" moves. The streams the thumbnail handler writes (the
// automatic thumbnail and its stamp) are written while someone merely looks
// at a folder, so their handles are marked to leave the clip's times alone;
// sorting by date and backup programs then see no change. A frame the user
// stores is a change the user made, and moves the time as any edit does.
#pragma once

#include "base/unique_handle.h"

#include <windows.h>

#include <cstdint>

namespace kadrix {

// Encodes the frame as JPEG into the file's user-chosen stream (userChosen
// nonzero) or automatic stream (0), replacing what the stream held. The
// caller keeps the bitmap. A write of the user-chosen stream that is refused
// for lack of access tells the user; every other failure passes silently.
void WriteThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen);

// The same write, telling the caller instead of the user: S_OK when the JPEG
// was written, E_ACCESSDENIED when the system refused it for lack of access
// or because another program holds the stream, another failure otherwise.
// Nothing is shown.
HRESULT SaveThumbnailStream(const wchar_t* path, HBITMAP bitmap, int userChosen);

// Writes the 4-byte generation stamp, little-endian, at offset 0 of the
// clip's stamp stream, creating the stream when it is missing; the stream is
// never truncated, as nothing longer is ever written there. False when the
// clip is gone or the stream can't be written (a read-only file or medium).
bool WriteGenerationStamp(const wchar_t* path, std::uint32_t stamp);

// Marks a handle, right after it is opened, so that no later write through
// it changes the file's last-write or last-access time (SetFileTime with
// both members of each 0xFFFFFFFF). False when the system refuses.
bool KeepFileTimes(HANDLE file);

// The clip itself, opened for its attributes only and shared for reading and
// writing but not for deleting, so that it can be neither deleted nor renamed
// while its streams are written: a clip that went away meanwhile must not
// come back as an empty file with a stream. Null when the path names no
// existing regular file.
unique_file HoldClip(const wchar_t* path);

// The clip's data is not on this machine (an offline file, a cloud
// placeholder): reading it would fetch the whole video. Such clips are
// served from the streams they have and never captured.
bool IsRemoteData(const wchar_t* path);

// Whether a frame the user picks can be kept in the clip: not when its volume
// has no named streams (FAT32 and exFAT sticks, some shares) or the file is
// read-only.
enum class StreamRoom
{
    Kept,
    NoNamedStreams,
    ReadOnly,
};
StreamRoom RoomForUserStream(const wchar_t* path);

// True when path + ":" + name can be opened for reading. A stream another
// process holds without read sharing counts as missing.
bool StreamExists(const wchar_t* path, const wchar_t* name);

} // namespace kadrix
